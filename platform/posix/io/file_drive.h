// A drive over one path: a block device opened exclusively, or an image
// file, both with direct I/O; its transfers queued on an io_uring that plays
// the completion port.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>

#include "platform/drive.h"
#include "platform/posix/io/uring_queue.h"

namespace platform::posix {

class FileDrive final : public Drive {
public:
    /// Opens `path` for reading and writing with O_DIRECT: a block device with
    /// O_EXCL (refused while mounted or claimed), a file also without O_DIRECT
    /// where its file system has none (tmpfs). nullptr with an errno value in
    /// *errorCode on failure.
    static std::unique_ptr<FileDrive> Open(const std::string& path, std::uint32_t* errorCode);

    ~FileDrive() override;
    FileDrive(const FileDrive&) = delete;
    FileDrive& operator=(const FileDrive&) = delete;

    bool IsBlockDevice() const { return blockDevice_; }

    /// BLKGETSIZE64 for a block device, the file's length for a file.
    bool SizeBytes(std::int64_t* sizeBytes) override;
    /// The entries of the master boot record and, on a block device, one more
    /// used entry for each partition the kernel found beyond them.
    bool Layout(std::vector<std::uint8_t>* partitionTypes) override;
    PortSetup AttachPort() override;
    bool RegisterTransferMemory(void* memory, std::size_t bytes) override;
    void UnregisterTransferMemory() override;
    IoStartResult StartTransfer(OverlappedSlot* slot, std::int64_t offsetBytes, void* buffer,
                                std::uint32_t length, bool isRead) override;
    bool WaitCompletion(std::uint32_t timeoutMs, OverlappedSlot** slot) override;
    std::uint32_t LastTransferError() const override { return lastTransferError_; }
    bool CancelTransfer(OverlappedSlot* slot, std::uint32_t timeoutMs) override;

    /// StartTransfer on another descriptor through this drive's ring (a read
    /// of a pipe nobody writes stays in flight until it is cancelled).
    IoStartResult StartTransferOn(int fd, OverlappedSlot* slot, std::int64_t offsetBytes,
                                  void* buffer, std::uint32_t length, bool isRead);

private:
    FileDrive(int fd, bool blockDevice) : fd_(fd), blockDevice_(blockDevice) {}

    int fd_;
    bool blockDevice_;
    std::unique_ptr<UringQueue> ring_;              ///< set by AttachPort
    std::unordered_set<OverlappedSlot*> inFlight_;  ///< started, completion not yet collected
    /// Completions reaped while cancelling another transfer, for WaitCompletion.
    std::deque<std::pair<OverlappedSlot*, int>> reaped_;
    std::uint32_t lastTransferError_ = 0;  ///< errno of the last failed completion
};

}  // namespace platform::posix
