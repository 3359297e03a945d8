#include "platform/lab/lab_test_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <map>
#include <mutex>

#include "platform/posix/io/file_lock.h"

namespace platform::lab {

namespace {

// The state file is replaced by rename on every save, so its lock sits on a
// companion file that stays.
std::string StateLockPath(const BenchDrive& drive) { return drive.statePath + ".lock"; }

struct TestLock {
    std::unique_ptr<posix::FileLock> image;
    std::unique_ptr<posix::FileLock> state;
};

}  // namespace

std::shared_ptr<void> LockForTest(const BenchDrive& drive, std::uint32_t* errorCode) {
    static std::mutex mutex;
    static std::map<std::string, std::weak_ptr<TestLock>> held;
    const std::lock_guard<std::mutex> guard(mutex);
    std::weak_ptr<TestLock>& slot = held[drive.statePath];
    if (std::shared_ptr<TestLock> live = slot.lock()) return live;

    const std::string lockPath = StateLockPath(drive);
    const int fd = ::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) ::close(fd);
    auto lock = std::make_shared<TestLock>();
    lock->state = posix::FileLock::Take(lockPath, errorCode);
    if (!lock->state) return nullptr;
    if (drive.devicePath.empty()) {
        lock->image = posix::FileLock::Take(drive.imagePath, errorCode);
        if (!lock->image) return nullptr;
    }
    slot = lock;
    return lock;
}

std::string TestLockHolder(const BenchDrive& drive) {
    std::string holder = posix::FileLockHolder(StateLockPath(drive));
    if (!holder.empty() || !drive.devicePath.empty()) return holder;
    return posix::FileLockHolder(drive.imagePath);
}

}  // namespace platform::lab
