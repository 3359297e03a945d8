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

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <unordered_set>

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
    std::unordered_set<OverlappedSlot*> inFlight;  ///< started, completion not yet collected
};

namespace {

// What this backend keeps in a transfer's slot while it is in flight: the
// byte count asked for, so that a short transfer reads as a failure.
struct TransferRecord {
    std::uint32_t requestedBytes;
};
static_assert(sizeof(TransferRecord) <= sizeof(OverlappedSlot), "record fits the slot");

// Partitions the kernel found beyond the disk's MBR carry no type here; any
// non-zero byte marks an entry in use.
constexpr std::uint8_t kPartitionInUse = 0x83;
constexpr unsigned kQueueEntries = 8;
// Read at the largest logical block size, so O_DIRECT accepts it everywhere.
constexpr std::size_t kFirstSectorBytes = 4096;

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
    // The table on the disk itself, as the system's layout request reads it:
    // a kernel without the right partition parser still sees no partitions.
    void* memory = nullptr;
    if (::posix_memalign(&memory, kFirstSectorBytes, kFirstSectorBytes) != 0) return false;
    std::unique_ptr<std::uint8_t, decltype(&std::free)> first(static_cast<std::uint8_t*>(memory),
                                                              &std::free);
    if (::pread(drive->fd, first.get(), kFirstSectorBytes, 0) !=
        static_cast<ssize_t>(kFirstSectorBytes))
        return false;
    std::vector<std::uint8_t> types = posix::MbrPartitionTypes(first.get());

    // The partitions the kernel found (GPT beyond the protective entry, ...).
    struct stat info {};
    if (::fstat(drive->fd, &info) != 0) return false;
    const int kernelCount = posix::CountPartitions(major(info.st_rdev), minor(info.st_rdev));
    if (kernelCount < 0) return false;
    const auto used = [&types] {
        return std::count_if(types.begin(), types.end(), [](std::uint8_t t) { return t != 0; });
    };
    while (used() < kernelCount) types.push_back(kPartitionInUse);
    *partitionTypes = types;
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

bool RegisterTransferMemory(CompletionPort* port, void* memory, std::size_t bytes) {
    return port != nullptr && port->queue.RegisterBuffer(memory, bytes) == 0;
}

void UnregisterTransferMemory(CompletionPort* port) {
    if (port != nullptr) port->queue.UnregisterBuffer();
}

IoStartResult StartTransfer(RawDrive* drive, OverlappedSlot* slot, std::int64_t offsetBytes,
                            void* buffer, std::uint32_t length, bool isRead) {
    if (drive == nullptr || slot == nullptr || drive->port == nullptr || offsetBytes < 0)
        return {IoStart::Failed, EINVAL};
    TransferRecord record{length};
    std::memcpy(slot->bytes, &record, sizeof(record));
    const int rc = drive->port->queue.Submit(drive->fd, isRead, buffer, length, offsetBytes, slot);
    if (rc < 0) return {IoStart::Failed, static_cast<std::uint32_t>(-rc)};
    drive->port->inFlight.insert(slot);
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
    port->inFlight.erase(completed);
    *slot = completed;
    TransferRecord record{};
    std::memcpy(&record, completed->bytes, sizeof(record));
    // A failed transfer (negative errno) and a short one both count as failed.
    return result >= 0 && static_cast<std::uint32_t>(result) == record.requestedBytes;
}

bool CancelTransfer(RawDrive*, CompletionPort* port, OverlappedSlot* slot,
                    std::uint32_t timeoutMs) {
    if (port == nullptr || port->inFlight.count(slot) == 0) return true;
    // The cancel request carries the port's address, which no transfer uses.
    const bool reaped = port->queue.CancelAndReap(slot, port, timeoutMs, [port](void* other, int) {
        port->inFlight.erase(static_cast<OverlappedSlot*>(other));
    });
    if (reaped) port->inFlight.erase(slot);
    return reaped;
}

}  // namespace platform
