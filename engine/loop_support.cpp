#include "engine/loop_support.h"

#include <iostream>
#include <stdexcept>

#include "platform/raw_drive.h"
#include "tracking/log_publish.h"
#include "viewer/gauge_lens.h"

StopCode PollInterrupt(CSSDTest& test) {
    if (test.abandonRequested) return kAbandoned;
    return test.interruptPoll ? test.interruptPoll(test) : kGoOn;
}

bool EndOfDriveReached(std::int64_t offset, std::int64_t driveSize) {
    return offset + static_cast<std::int64_t>(kBlockBytes) >= driveSize;
}

double RoundRber(StopCode stop, const CKVTStatus& status, std::uint64_t sectorsAtStart,
                 std::uint64_t errorBitsAtStart) {
    if (stop != kEndOfDrive || status.TotalReadSectors == sectorsAtStart) return 0;
    const double errorBits = static_cast<double>(status.TotalErrorBitsFromFlash - errorBitsAtStart);
    const double sectors = static_cast<double>(status.TotalReadSectors - sectorsAtStart);
    const double rate = errorBits / (sectors * 4096);
    std::cout << "RBER: " << rate << std::endl;
    return rate;
}

void PublishAndCapture(CSSDTest& test) {
    PublishResultLog(test);
    if (test.resultLog.fail()) throw std::runtime_error("Log Reopen Failed!");
    RunGaugeLens(test);
}

namespace {
// How long a cancelled transfer may take to give its memory back.
constexpr std::uint32_t kReapTimeoutMs = 10000;
}  // namespace

TransferBuffers::TransferBuffers(int count, int requestCount)
    : memory_(static_cast<std::size_t>(count)) {
    for (int i = 0; i < count; ++i)
        buffers_.push_back(
            std::make_unique<BlockBuffer>(memory_.block(static_cast<std::size_t>(i))));
    for (int i = 0; i < requestCount; ++i) requests_.push_back(std::make_unique<IoRequest>());
}

TransferBuffers::~TransferBuffers() {
    if (inFlight_ != nullptr && !platform::CancelTransfer(test_->driveHandle, test_->completionPort,
                                                          &inFlight_->overlapped, kReapTimeoutMs)) {
        // Deliberately kept: the drive may still transfer into or out of them.
        memory_.keep();
        for (auto& request : requests_) static_cast<void>(request.release());
        return;
    }
    if (registeredPort_ != nullptr) platform::UnregisterTransferMemory(registeredPort_);
}

void TransferBuffers::Submit(CSSDTest& test, IoRequest& request) {
    if (registeredPort_ == nullptr && test.completionPort != nullptr) {
        // Without a registration the transfers still work, only pinning
        // their pages each time.
        platform::RegisterTransferMemory(test.completionPort, memory_.data(), memory_.bytes());
        registeredPort_ = test.completionPort;
    }
    SubmitIo(test, request);
    test_ = &test;
    inFlight_ = &request;
}

std::uint64_t TransferBuffers::Complete(CSSDTest& test) {
    IoRequest& done = WaitIo(test);
    inFlight_ = nullptr;
    return static_cast<std::uint64_t>(done.completeTicks - done.submitTicks);
}
