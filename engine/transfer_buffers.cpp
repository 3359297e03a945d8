#include "engine/transfer_buffers.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/drive.h"

std::uint32_t LoopQueueDepth(const RunSettings& settings, const DriveSession& session) {
    std::uint32_t depth = settings.queueDepth;
    if (depth == 0 && session.drive != nullptr) depth = session.drive->PreferredQueueDepth();
    return std::clamp<std::uint32_t>(depth, 1, kMaxQueueDepth);
}

TransferBuffers::TransferBuffers(int count, std::uint32_t depth)
    : memory_(static_cast<std::size_t>(count)) {
    for (int i = 0; i < count; ++i)
        buffers_.push_back(
            std::make_unique<BlockBuffer>(memory_.block(static_cast<std::size_t>(i))));
    for (std::uint32_t i = 0; i < std::max<std::uint32_t>(depth, 1); ++i) {
        requests_.push_back(std::make_unique<IoRequest>());
        idle_.push_back(requests_.back().get());
    }
    inFlight_.reserve(requests_.size());
}

TransferBuffers::~TransferBuffers() {
    if (!CancelInFlight()) {
        // Deliberately kept: the drive may still transfer into or out of them.
        memory_.keep();
        for (auto& request : requests_) static_cast<void>(request.release());
        return;
    }
    platform::Drive* const drive = session_ != nullptr ? session_->drive.get() : nullptr;
    if (registeredDrive_ != nullptr && registeredDrive_ == drive) drive->UnregisterTransferMemory();
}

bool TransferBuffers::CancelInFlight() {
    // A closed drive took its transfers with it; otherwise it is the one they ran on.
    platform::Drive* const drive = session_ != nullptr ? session_->drive.get() : nullptr;
    if (inFlight_.empty() || drive == nullptr) return true;
    // One wait for all of them: a hung drive costs the reap time once, not per transfer.
    const std::int64_t frequency = platform::PerformanceFrequency();
    const std::int64_t deadline =
        platform::PerformanceCounter() + std::int64_t{timings_->reapWaitMs} * frequency / 1000;
    for (IoRequest* request : inFlight_) {
        const std::int64_t left =
            std::max<std::int64_t>(deadline - platform::PerformanceCounter(), 0);
        const auto leftMs = static_cast<std::uint32_t>(left * 1000 / frequency);
        if (!drive->CancelTransfer(&request->overlapped, leftMs)) return false;
    }
    inFlight_.clear();
    return true;
}

void TransferBuffers::Submit(DriveSession& session, const RunTimings& timings,
                             std::int64_t offsetBytes, std::uint8_t* buffer, bool isRead) {
    session_ = &session;
    timings_ = &timings;
    if (registeredDrive_ == nullptr && session.drive != nullptr) {
        // Without a registration the transfers still work, only pinning
        // their pages each time.
        session.drive->RegisterTransferMemory(memory_.data(), memory_.bytes());
        registeredDrive_ = session.drive.get();
    }
    IoRequest& request = *idle_.back();  // the caller keeps InFlight() below Depth()
    request = IoRequest{};
    request.offset = offsetBytes;
    request.length = kBlockBytes;
    request.isRead = isRead;
    request.buffer = buffer;
    SubmitIo(*session.drive, request);
    idle_.pop_back();
    inFlight_.push_back(&request);
}

Completion TransferBuffers::Complete(DriveSession& session, const RunTimings& timings) {
    const IoRequest* oldest = nullptr;
    for (const IoRequest* request : inFlight_)
        if (oldest == nullptr || request->submitTicks < oldest->submitTicks) oldest = request;
    IoRequest& done = WaitIo(*session.drive, timings.completionWaitMs, oldest);
    // The drive was busy from the earliest start among the transfers in flight
    // (this one included) or from the last completion, whichever came later.
    std::int64_t busySince = done.submitTicks;
    for (const IoRequest* request : inFlight_)
        busySince = std::min(busySince, request->submitTicks);
    busySince = std::max(busySince, lastCompleteTicks_);
    lastCompleteTicks_ = std::max(lastCompleteTicks_, done.completeTicks);
    const auto found = std::find(inFlight_.begin(), inFlight_.end(), &done);
    if (found != inFlight_.end()) {
        inFlight_.erase(found);
        idle_.push_back(&done);
    }
    const std::int64_t busy = std::max<std::int64_t>(done.completeTicks - busySince, 0);
    return {done.offset, static_cast<std::uint8_t*>(done.buffer), done.isRead,
            static_cast<std::uint64_t>(busy)};
}

std::int64_t TransferBuffers::LowestWriteInFlight() const {
    std::int64_t lowest = -1;
    for (const IoRequest* request : inFlight_)
        if (!request->isRead && (lowest < 0 || request->offset < lowest)) lowest = request->offset;
    return lowest;
}
