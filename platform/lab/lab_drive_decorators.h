// The decorators that make a lab drive out of a drive over its image or block
// device: the controller's view of each transfer, and the bench's faults.
#pragma once

#include <cerrno>
#include <cstdint>
#include <deque>
#include <memory>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "platform/drive_decorator.h"
#include "platform/lab/lab_bench.h"
#include "platform/lab/lab_drive.h"
#include "platform/posix/io/file_drive.h"

namespace platform::lab {

/// Size and layout as the bench configures them, or failing where the bench
/// says so; transfers outside the drive or not whole sectors refused; each
/// successful completion passed through the controller (reads get their flash
/// bit errors, writes are counted).
class ControllerDrive final : public DriveDecorator {
public:
    ControllerDrive(std::unique_ptr<Drive> inner, std::shared_ptr<LabDrive> lab)
        : DriveDecorator(std::move(inner)), lab_(std::move(lab)) {}

    bool SizeBytes(std::int64_t* sizeBytes) override;
    bool Layout(std::vector<std::uint8_t>* partitionTypes) override;
    IoStartResult StartTransfer(OverlappedSlot* slot, std::int64_t offsetBytes, void* buffer,
                                std::uint32_t length, bool isRead) override;
    bool WaitCompletion(std::uint32_t timeoutMs, OverlappedSlot** slot) override;
    bool CancelTransfer(OverlappedSlot* slot, std::uint32_t timeoutMs) override;
    /// The bench entry's "queue_depth" (0 when it gives none).
    std::uint32_t PreferredQueueDepth() override { return lab_->Config().queueDepth; }

private:
    struct Transfer {
        std::int64_t offsetBytes;
        void* buffer;
        std::uint32_t length;
        bool isRead;
    };
    std::shared_ptr<LabDrive> lab_;
    std::unordered_map<OverlappedSlot*, Transfer> inFlight_;
};

/// The bench's transfer faults: I/O errors at given MiB, transfers that never
/// complete (a read of a pipe nobody writes, in flight on the file drive's ring
/// until cancelled), transfers that complete inside StartTransfer, and reads
/// that come back with bits flipped in given MiB.
class FaultDrive final : public DriveDecorator {
public:
    /// `ring` is the file drive at the bottom of `inner`, which it outlives.
    FaultDrive(std::unique_ptr<Drive> inner, posix::FileDrive* ring, DriveFaults faults)
        : DriveDecorator(std::move(inner)), ring_(ring), faults_(std::move(faults)) {}
    ~FaultDrive() override;

    IoStartResult StartTransfer(OverlappedSlot* slot, std::int64_t offsetBytes, void* buffer,
                                std::uint32_t length, bool isRead) override;
    bool WaitCompletion(std::uint32_t timeoutMs, OverlappedSlot** slot) override;
    bool CancelTransfer(OverlappedSlot* slot, std::uint32_t timeoutMs) override;
    /// An injected failure reads as the kernel's EIO.
    std::uint32_t LastTransferError() const override {
        return injectedError_ ? EIO : DriveDecorator::LastTransferError();
    }

private:
    IoStartResult CompleteAtOnce(OverlappedSlot* slot, std::int64_t offsetBytes, void* buffer,
                                 std::uint32_t length, bool isRead);

    posix::FileDrive* ring_;
    DriveFaults faults_;
    std::deque<std::pair<OverlappedSlot*, bool>> finished_;  ///< slot, success; to be collected
    bool injectedError_ = false;  ///< the last failed completion came from finished_
    int stallPipe_[2] = {-1, -1};
    /// Reads in flight that touch a MiB with bit errors: their offset, buffer, length.
    std::unordered_map<OverlappedSlot*, std::tuple<std::int64_t, void*, std::uint32_t>> spoiled_;
};

}  // namespace platform::lab
