// The viewer mutex on posix: an flock on a lock file that every process
// driving the viewer opens under the same name. The kernel drops the lock
// when its owner ends, so a lock is never abandoned.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/posix/host/text.h"
#include "platform/posix/host/viewer_clipboard.h"
#include "platform/viewer_host.h"

namespace platform {

struct NamedMutex {
    int fd = -1;
    bool owned = false;
};

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(20);

std::string LockFolder() {
    std::string folder = posix::ViewerDirOverride();
    if (!folder.empty()) return folder;
    return access("/run/lock", W_OK | X_OK) == 0 ? "/run/lock" : "/tmp";
}

std::string LockFilePath(const std::wstring& name) {
    std::string file = posix::Narrow(name);
    for (char& c : file) {
        if (c == '/') c = '_';
    }
    return LockFolder() + "/" + file + ".lock";
}

}  // namespace

NamedMutex* CreateNamedMutex(const std::wstring& name) {
    if (name.empty()) return nullptr;
    const std::string path = LockFilePath(name);
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    // Another user's lock file can still be locked through a read-only handle.
    if (fd < 0 && errno == EACCES) fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return nullptr;
    NamedMutex* mutex = new NamedMutex;
    mutex->fd = fd;
    return mutex;
}

MutexWait WaitNamedMutex(NamedMutex* mutex, std::uint32_t timeoutMs) {
    if (mutex == nullptr) return MutexWait::Failed;
    if (mutex->owned) return MutexWait::Acquired;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (flock(mutex->fd, LOCK_EX | LOCK_NB) == 0) {
            mutex->owned = true;
            return MutexWait::Acquired;
        }
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) return MutexWait::Failed;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return MutexWait::TimedOut;
        const auto pause =
            std::min<std::chrono::steady_clock::duration>(kPollInterval, deadline - now);
        usleep(static_cast<useconds_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(pause).count()));
    }
}

void ReleaseAndCloseMutex(NamedMutex* mutex) {
    if (mutex == nullptr) return;
    if (mutex->owned) flock(mutex->fd, LOCK_UN);
    close(mutex->fd);
    delete mutex;
}

}  // namespace platform
