#include "engine/loop_support.h"

#include <iostream>
#include <stdexcept>

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

TransferBuffers::TransferBuffers(int count) {
    for (int i = 0; i < count; ++i) buffers_.push_back(std::make_unique<BlockBuffer>());
}

TransferBuffers::~TransferBuffers() {
    if (!inFlight_) return;
    // Deliberately kept: the drive may still transfer into or out of them.
    for (auto& buffer : buffers_) buffer.release();
}

void TransferBuffers::Submit(CSSDTest& test, IoRequest& request) {
    SubmitIo(test, request);
    inFlight_ = true;
}

std::uint64_t TransferBuffers::Complete(CSSDTest& test) {
    IoRequest& done = WaitIo(test);
    inFlight_ = false;
    return static_cast<std::uint64_t>(done.completeTicks - done.submitTicks);
}
