// Raw drive service for Linux: a whole-disk block device opened with O_DIRECT
// and O_EXCL, its transfers queued on an io_uring that plays the completion
// port.
#include "platform/raw_drive.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "platform/posix/drive/disk_numbering.h"
#include "platform/posix/drive/partition_count.h"
#include "platform/posix/io/uring_queue.h"

namespace platform {

struct RawDrive {
    int fd = -1;
    CompletionPort* port = nullptr;
};

struct CompletionPort {
    posix::UringQueue queue;
};

namespace {

// What this backend keeps in a transfer's slot while it is in flight: the
// byte count asked for, so that a short transfer reads as a failure.
struct TransferRecord {
    std::uint32_t requestedBytes;
};
static_assert(sizeof(TransferRecord) <= sizeof(OverlappedSlot), "record fits the slot");

// Partition entries carry no type in sysfs; any non-zero byte marks "in use".
constexpr std::uint8_t kPartitionInUse = 0x83;
constexpr unsigned kQueueEntries = 8;

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace

std::wstring DrivePath(std::uint32_t driveNumber) {
    const std::string name = posix::DiskNameOf(driveNumber);
    // A number without a disk still gets a path; opening it fails.
    if (name.empty()) return L"/dev/ssdtest-drive" + std::to_wstring(driveNumber);
    return Widen("/dev/" + name);
}

RawDrive* OpenRawDrive(std::uint32_t driveNumber, std::uint32_t* errorCode) {
    *errorCode = 0;
    const std::string name = posix::DiskNameOf(driveNumber);
    if (name.empty()) {
        *errorCode = ENOENT;
        return nullptr;
    }
    // O_EXCL on a block device refuses a disk that is mounted or claimed.
    const int fd = ::open(("/dev/" + name).c_str(), O_RDWR | O_DIRECT | O_EXCL | O_CLOEXEC);
    if (fd < 0) {
        *errorCode = static_cast<std::uint32_t>(errno);
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISBLK(info.st_mode)) {
        *errorCode = ENOTBLK;
        ::close(fd);
        return nullptr;
    }
    auto* drive = new (std::nothrow) RawDrive;
    if (drive == nullptr) {
        *errorCode = ENOMEM;
        ::close(fd);
        return nullptr;
    }
    drive->fd = fd;
    return drive;
}

void CloseRawDrive(RawDrive* drive) {
    if (drive == nullptr) return;
    if (drive->fd >= 0) ::close(drive->fd);
    delete drive;
}

bool GetDriveSizeBytes(RawDrive* drive, std::int64_t* sizeBytes) {
    if (drive == nullptr) return false;
    std::uint64_t bytes = 0;
    if (::ioctl(drive->fd, BLKGETSIZE64, &bytes) != 0) return false;
    *sizeBytes = static_cast<std::int64_t>(bytes);
    return true;
}

bool GetDriveLayout(RawDrive* drive, std::vector<std::uint8_t>* partitionTypes) {
    if (drive == nullptr) return false;
    struct stat info {};
    if (::fstat(drive->fd, &info) != 0) return false;
    const int count = posix::CountPartitions(major(info.st_rdev), minor(info.st_rdev));
    if (count < 0) return false;
    partitionTypes->assign(static_cast<std::size_t>(count), kPartitionInUse);
    return true;
}

CompletionPort* CreateCompletionPort() {
    auto* port = new (std::nothrow) CompletionPort;
    if (port == nullptr) return nullptr;
    if (port->queue.Init(kQueueEntries) != 0) {
        delete port;
        return nullptr;
    }
    return port;
}

bool AttachToPort(RawDrive* drive, CompletionPort* port) {
    if (drive == nullptr || port == nullptr) return false;
    drive->port = port;
    return true;
}

void CloseCompletionPort(CompletionPort* port) { delete port; }

IoStartResult StartTransfer(RawDrive* drive, OverlappedSlot* slot, std::int64_t offsetBytes,
                            void* buffer, std::uint32_t length, bool isRead) {
    if (drive == nullptr || slot == nullptr || drive->port == nullptr || offsetBytes < 0)
        return {IoStart::Failed, EINVAL};
    TransferRecord record{length};
    std::memcpy(slot->bytes, &record, sizeof(record));
    const int rc = drive->port->queue.Submit(drive->fd, isRead, buffer, length, offsetBytes, slot);
    if (rc < 0) return {IoStart::Failed, static_cast<std::uint32_t>(-rc)};
    // io_uring always queues a completion, even for a transfer that finished
    // inside the submit call, so every started transfer counts as pending.
    return {IoStart::Pending, 0};
}

bool WaitCompletion(CompletionPort* port, std::uint32_t timeoutMs, OverlappedSlot** slot) {
    *slot = nullptr;
    if (port == nullptr) return false;
    void* userData = nullptr;
    int result = 0;
    if (port->queue.Wait(timeoutMs, &userData, &result) != 1) return false;
    auto* completed = static_cast<OverlappedSlot*>(userData);
    *slot = completed;
    TransferRecord record{};
    std::memcpy(&record, completed->bytes, sizeof(record));
    // A failed transfer (negative errno) and a short one both count as failed.
    return result >= 0 && static_cast<std::uint32_t>(result) == record.requestedBytes;
}

}  // namespace platform
