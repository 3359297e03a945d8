#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/lab/lab_drive_decorators.h"

namespace platform::lab {

namespace {

constexpr std::int64_t kMiB = 1048576;
// How long a transfer that completes at once may take inside StartTransfer.
constexpr std::uint32_t kAtOnceTimeoutMs = 10000;

bool Touches(const std::vector<std::int64_t>& mibs, std::int64_t offsetBytes,
             std::uint32_t length) {
    return std::any_of(mibs.begin(), mibs.end(), [&](std::int64_t mib) {
        return offsetBytes < (mib + 1) * kMiB && offsetBytes + length > mib * kMiB;
    });
}

}  // namespace

FaultDrive::~FaultDrive() {
    for (int fd : stallPipe_)
        if (fd >= 0) ::close(fd);
}

IoStartResult FaultDrive::StartTransfer(OverlappedSlot* slot, std::int64_t offsetBytes,
                                        void* buffer, std::uint32_t length, bool isRead) {
    if (Touches(faults_.ioErrorAtMib, offsetBytes, length)) {
        if (faults_.completeAtOnce) return {IoStart::Failed, EIO};
        finished_.emplace_back(slot, false);
        return {IoStart::Pending, 0};
    }
    if (Touches(faults_.stallAtMib, offsetBytes, length)) {
        if (stallPipe_[0] < 0 && ::pipe2(stallPipe_, O_NONBLOCK | O_CLOEXEC) != 0)
            return {IoStart::Failed, static_cast<std::uint32_t>(errno)};
        // Reading the silent pipe (also for a write) touches nothing until cancelled.
        return ring_->StartTransferOn(stallPipe_[0], slot, -1, buffer, length, true);
    }
    if (faults_.completeAtOnce) return CompleteAtOnce(slot, offsetBytes, buffer, length, isRead);
    return DriveDecorator::StartTransfer(slot, offsetBytes, buffer, length, isRead);
}

IoStartResult FaultDrive::CompleteAtOnce(OverlappedSlot* slot, std::int64_t offsetBytes,
                                         void* buffer, std::uint32_t length, bool isRead) {
    const IoStartResult started =
        DriveDecorator::StartTransfer(slot, offsetBytes, buffer, length, isRead);
    if (started.status == IoStart::Failed) return started;
    for (;;) {
        OverlappedSlot* done = nullptr;
        const bool ok = DriveDecorator::WaitCompletion(kAtOnceTimeoutMs, &done);
        if (done == nullptr) return {IoStart::Pending, 0};  // still in flight after all
        if (done != slot) {
            finished_.emplace_back(done, ok);  // another transfer's, kept for WaitCompletion
            continue;
        }
        if (!ok) return {IoStart::Failed, EIO};
        finished_.emplace_back(slot, true);
        return {IoStart::Finished, 0};
    }
}

bool FaultDrive::WaitCompletion(std::uint32_t timeoutMs, OverlappedSlot** slot) {
    if (finished_.empty()) return DriveDecorator::WaitCompletion(timeoutMs, slot);
    const auto [done, ok] = finished_.front();
    finished_.pop_front();
    *slot = done;
    if (!ok) errno = EIO;
    return ok;
}

bool FaultDrive::CancelTransfer(OverlappedSlot* slot, std::uint32_t timeoutMs) {
    // Finished here: nothing touches its memory any more.
    const auto collected = std::remove_if(finished_.begin(), finished_.end(),
                                          [slot](const auto& done) { return done.first == slot; });
    if (collected != finished_.end()) {
        finished_.erase(collected, finished_.end());
        return true;
    }
    return DriveDecorator::CancelTransfer(slot, timeoutMs);
}

}  // namespace platform::lab
