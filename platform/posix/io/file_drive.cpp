#include "platform/posix/io/file_drive.h"

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

#include "platform/posix/io/partition_count.h"

namespace platform::posix {

namespace {

// What the drive keeps in a transfer's slot while it is in flight: the byte
// count asked for, so that a short transfer reads as a failure.
struct TransferRecord {
    std::uint32_t requestedBytes;
};
static_assert(sizeof(TransferRecord) <= sizeof(OverlappedSlot), "record fits the slot");

// Partitions the kernel found beyond the disk's MBR carry no type here; any
// non-zero byte marks an entry in use.
constexpr std::uint8_t kPartitionInUse = 0x83;
// Room for the deepest queue the tester keeps (64 transfers) and a cancel
// request; the completion ring is twice as large.
constexpr unsigned kQueueEntries = 128;
// Read at the largest logical block size, so O_DIRECT accepts it everywhere.
constexpr std::size_t kFirstSectorBytes = 4096;

std::uint32_t ErrnoCode() { return static_cast<std::uint32_t>(errno); }

bool Succeeded(const OverlappedSlot* slot, int result) {
    TransferRecord record{};
    std::memcpy(&record, slot->bytes, sizeof(record));
    // A failed transfer (negative errno) and a short one both count as failed.
    return result >= 0 && static_cast<std::uint32_t>(result) == record.requestedBytes;
}

/// The errno of a completion's result; 0 for a success or a short transfer.
std::uint32_t ResultError(int result) {
    return result < 0 ? static_cast<std::uint32_t>(-result) : 0u;
}

}  // namespace

std::unique_ptr<FileDrive> FileDrive::Open(const std::string& path, std::uint32_t* errorCode) {
    *errorCode = 0;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        *errorCode = ErrnoCode();
        return nullptr;
    }
    const bool blockDevice = S_ISBLK(info.st_mode);
    int fd;
    if (blockDevice) {
        fd = ::open(path.c_str(), O_RDWR | O_DIRECT | O_EXCL | O_CLOEXEC);
    } else {
        fd = ::open(path.c_str(), O_RDWR | O_DIRECT | O_CLOEXEC);
        if (fd < 0 && errno == EINVAL) fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    }
    if (fd < 0) {
        *errorCode = ErrnoCode();
        return nullptr;
    }
    return std::unique_ptr<FileDrive>(new FileDrive(fd, blockDevice));
}

FileDrive::~FileDrive() {
    ring_.reset();  // before the descriptor its transfers use
    ::close(fd_);
}

bool FileDrive::SizeBytes(std::int64_t* sizeBytes) {
    if (blockDevice_) {
        std::uint64_t bytes = 0;
        if (::ioctl(fd_, BLKGETSIZE64, &bytes) != 0) return false;
        *sizeBytes = static_cast<std::int64_t>(bytes);
        return true;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0) return false;
    *sizeBytes = static_cast<std::int64_t>(info.st_size);
    return true;
}

bool FileDrive::Layout(std::vector<std::uint8_t>* partitionTypes) {
    // The table on the disk itself, as the system's layout request reads it:
    // a kernel without the right partition parser still sees no partitions.
    void* memory = nullptr;
    if (::posix_memalign(&memory, kFirstSectorBytes, kFirstSectorBytes) != 0) return false;
    std::unique_ptr<std::uint8_t, decltype(&std::free)> first(static_cast<std::uint8_t*>(memory),
                                                              &std::free);
    if (::pread(fd_, first.get(), kFirstSectorBytes, 0) != static_cast<ssize_t>(kFirstSectorBytes))
        return false;
    std::vector<std::uint8_t> types = MbrPartitionTypes(first.get());

    if (blockDevice_) {
        // The partitions the kernel found (GPT beyond the protective entry, ...).
        struct stat info {};
        if (::fstat(fd_, &info) != 0) return false;
        const int kernelCount = CountPartitions(major(info.st_rdev), minor(info.st_rdev));
        if (kernelCount < 0) return false;
        const auto used = [&types] {
            return std::count_if(types.begin(), types.end(), [](std::uint8_t t) { return t != 0; });
        };
        while (used() < kernelCount) types.push_back(kPartitionInUse);
    }
    *partitionTypes = types;
    return true;
}

PortSetup FileDrive::AttachPort() {
    auto ring = std::make_unique<UringQueue>();
    if (ring->Init(kQueueEntries) != 0) return PortSetup::CreateFailed;
    ring_ = std::move(ring);
    return PortSetup::Ready;
}

bool FileDrive::RegisterTransferMemory(void* memory, std::size_t bytes) {
    return ring_ != nullptr && ring_->RegisterBuffer(memory, bytes) == 0;
}

void FileDrive::UnregisterTransferMemory() {
    if (ring_ != nullptr) ring_->UnregisterBuffer();
}

IoStartResult FileDrive::StartTransfer(OverlappedSlot* slot, std::int64_t offsetBytes, void* buffer,
                                       std::uint32_t length, bool isRead) {
    if (offsetBytes < 0) return {IoStart::Failed, EINVAL};
    return StartTransferOn(fd_, slot, offsetBytes, buffer, length, isRead);
}

IoStartResult FileDrive::StartTransferOn(int fd, OverlappedSlot* slot, std::int64_t offsetBytes,
                                         void* buffer, std::uint32_t length, bool isRead) {
    if (slot == nullptr || buffer == nullptr) return {IoStart::Failed, EINVAL};
    if (ring_ == nullptr) return {IoStart::Failed, EBADF};
    const TransferRecord record{length};
    std::memcpy(slot->bytes, &record, sizeof(record));
    const int rc = ring_->Submit(fd, isRead, buffer, length, offsetBytes, slot);
    if (rc < 0) return {IoStart::Failed, static_cast<std::uint32_t>(-rc)};
    inFlight_.insert(slot);
    // io_uring always queues a completion, even for a transfer that finished
    // inside the submit call, so every started transfer counts as pending.
    return {IoStart::Pending, 0};
}

bool FileDrive::WaitCompletion(std::uint32_t timeoutMs, OverlappedSlot** slot) {
    *slot = nullptr;
    if (!reaped_.empty()) {
        const auto [done, result] = reaped_.front();
        reaped_.pop_front();
        *slot = done;
        lastTransferError_ = ResultError(result);
        return Succeeded(done, result);
    }
    if (ring_ == nullptr) return false;
    void* userData = nullptr;
    int result = 0;
    if (ring_->Wait(timeoutMs, &userData, &result) != 1) {
        errno = ETIMEDOUT;
        return false;
    }
    auto* done = static_cast<OverlappedSlot*>(userData);
    inFlight_.erase(done);
    *slot = done;
    lastTransferError_ = ResultError(result);
    return Succeeded(done, result);
}

bool FileDrive::CancelTransfer(OverlappedSlot* slot, std::uint32_t timeoutMs) {
    // Reaped earlier while cancelling another: nothing touches it any more.
    reaped_.erase(std::remove_if(reaped_.begin(), reaped_.end(),
                                 [slot](const auto& done) { return done.first == slot; }),
                  reaped_.end());
    if (ring_ == nullptr || inFlight_.count(slot) == 0) return true;
    // The cancel request carries the drive's address, which no transfer uses.
    // A completion of another transfer is kept for WaitCompletion.
    const bool reaped =
        ring_->CancelAndReap(slot, this, timeoutMs, [this](void* other, int result) {
            auto* done = static_cast<OverlappedSlot*>(other);
            inFlight_.erase(done);
            reaped_.emplace_back(done, result);
        });
    if (reaped) inFlight_.erase(slot);
    return reaped;
}

}  // namespace platform::posix
