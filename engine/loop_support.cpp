#include "engine/loop_support.h"

#include <stdexcept>

#include "platform/drive.h"
#include "text/operator_output.h"
#include "tracking/drive_check.h"
#include "tracking/log_publish.h"
#include "tracking/result_log.h"
#include "tracking/run_notes.h"
#include "viewer/gauge_lens.h"

StopCode PollInterrupt(CSSDTest& test) {
    if (test.abandonRequested) return kAbandoned;
    return test.interruptPoll ? test.interruptPoll(test) : kGoOn;
}

bool EndOfDriveReached(std::int64_t offset, std::int64_t driveSize) {
    return offset + static_cast<std::int64_t>(kBlockBytes) >= driveSize;
}

bool BatchEnds(std::int64_t offset, std::int64_t driveSize, std::uint32_t blocks, StopCode* stop) {
    if (EndOfDriveReached(offset, driveSize)) {
        *stop = kEndOfDrive;
        return true;
    }
    return blocks == kBatchBlocks;
}

double RoundRber(StopCode stop, const CSSDTest& test, std::uint64_t sectorsAtStart,
                 std::uint64_t errorBitsAtStart) {
    const std::uint64_t readSectors = test.currentStatus->TotalReadSectors;
    if (stop != kEndOfDrive || readSectors == sectorsAtStart) return 0;
    const double errorBits = static_cast<double>(RateErrorBits(test) - errorBitsAtStart);
    const double sectors = static_cast<double>(readSectors - sectorsAtStart);
    const double rate = errorBits / (sectors * 4096);
    Out() << "RBER: " << rate << std::endl;
    return rate;
}

void PublishAndCapture(CSSDTest& test) {
    PublishResultLog(test);
    if (test.resultLog.fail()) throw std::runtime_error("Log Reopen Failed!");
    RunGaugeLens(test);
}

void CloseRound(CSSDTest& test, StopCode stop, double readSpeed, double writeSpeed,
                std::uint64_t sectorsAtStart, std::uint64_t errorBitsAtStart) {
    const double rber = RoundRber(stop, test, sectorsAtStart, errorBitsAtStart);
    AppendResult(test, readSpeed, writeSpeed, rber);
    PublishAndCapture(test);
    if (stop == kEndOfDrive) ++test.tally.rounds;
    NoteRoundEnd(test, stop == kEndOfDrive);
}

TransferBuffers::TransferBuffers(int count, int requestCount)
    : memory_(static_cast<std::size_t>(count)) {
    for (int i = 0; i < count; ++i)
        buffers_.push_back(
            std::make_unique<BlockBuffer>(memory_.block(static_cast<std::size_t>(i))));
    for (int i = 0; i < requestCount; ++i) requests_.push_back(std::make_unique<IoRequest>());
}

TransferBuffers::~TransferBuffers() {
    // A closed drive took its transfers with it; otherwise it is the one they ran on.
    platform::Drive* const drive = test_ != nullptr ? test_->drive.get() : nullptr;
    if (inFlight_ != nullptr && drive != nullptr &&
        !drive->CancelTransfer(&inFlight_->overlapped, test_->timings.reapWaitMs)) {
        // Deliberately kept: the drive may still transfer into or out of them.
        memory_.keep();
        for (auto& request : requests_) static_cast<void>(request.release());
        return;
    }
    if (registeredDrive_ != nullptr && registeredDrive_ == drive) drive->UnregisterTransferMemory();
}

void TransferBuffers::Submit(CSSDTest& test, IoRequest& request) {
    test_ = &test;
    if (registeredDrive_ == nullptr && test.drive != nullptr) {
        // Without a registration the transfers still work, only pinning
        // their pages each time.
        test.drive->RegisterTransferMemory(memory_.data(), memory_.bytes());
        registeredDrive_ = test.drive.get();
    }
    SubmitIo(test, request);
    inFlight_ = &request;
}

std::uint64_t TransferBuffers::Complete(CSSDTest& test) {
    IoRequest& done = WaitIo(test);
    inFlight_ = nullptr;
    return static_cast<std::uint64_t>(done.completeTicks - done.submitTicks);
}
