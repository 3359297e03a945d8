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

// Flips `perMib` bits in each faulty MiB the read covered, one per sector
// spread evenly over the MiB, each past the ECC: the host sees them.
void FlipBits(const std::vector<std::int64_t>& mibs, std::uint32_t perMib, std::int64_t offsetBytes,
              void* buffer, std::uint32_t length) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    for (const std::int64_t mib : mibs)
        for (std::uint32_t k = 0; k < perMib; ++k) {
            const std::int64_t at = mib * kMiB + std::int64_t{k} * (kMiB / perMib) + k % 512;
            if (at >= offsetBytes && at < offsetBytes + length)
                bytes[at - offsetBytes] ^= static_cast<std::uint8_t>(1u << (k % 8));
        }
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
    if (isRead && Touches(faults_.bitErrorsAtMib, offsetBytes, length))
        spoiled_[slot] = {offsetBytes, buffer, length};
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
    bool ok = false;
    if (finished_.empty()) {
        ok = DriveDecorator::WaitCompletion(timeoutMs, slot);
        injectedError_ = false;
    } else {
        const auto [done, doneOk] = finished_.front();
        finished_.pop_front();
        *slot = done;
        ok = doneOk;
        if (!ok) errno = EIO;
        injectedError_ = !ok;
    }
    const auto spoiled = spoiled_.find(*slot);
    if (spoiled != spoiled_.end()) {
        const auto [offsetBytes, buffer, length] = spoiled->second;
        if (ok)
            FlipBits(faults_.bitErrorsAtMib, faults_.bitErrorsPerMib, offsetBytes, buffer, length);
        spoiled_.erase(spoiled);
    }
    return ok;
}

bool FaultDrive::CancelTransfer(OverlappedSlot* slot, std::uint32_t timeoutMs) {
    spoiled_.erase(slot);
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
