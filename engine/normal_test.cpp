#include "engine/normal_test.h"

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <utility>

#include "engine/block_io.h"
#include "engine/day_number.h"
#include "engine/loop_support.h"
#include "engine/mmtimer.h"
#include "engine/pattern.h"
#include "status/cssd_status.h"
#include "tracking/drive_check.h"
#include "tracking/result_log.h"
#include "tracking/run_notes.h"

namespace {

enum BufferIndex { kPatternA, kPatternB, kReadA, kReadB, kBufferCount };
enum RequestIndex { kWrite, kRead, kRequestCount };

class NormalTestRun {
public:
    explicit NormalTestRun(CSSDTest& test) : test_(test), buffers_(kBufferCount, kRequestCount) {}

    void Run() {
        try {
            SetUp();
            for (;;) {
                RunBatch();
                if (stop_ == kGoOn) {
                    InRoundStep();
                } else if (EndOfRoundStep()) {
                    return;
                }
            }
        } catch (...) {
            WriteDumpFilesAfterFailure();
            throw;
        }
    }

private:
    void SetUp() {
        writeRequest_.isRead = false;
        writeRequest_.length = kBlockBytes;
        writeRequest_.buffer = current_->data();
        readRequest_.isRead = true;
        readRequest_.length = kBlockBytes;
        readRequest_.buffer = buffers_[kReadB].data();
        FillPattern(test_, current_->words());

        sectorsAtRoundStart_ = test_.currentStatus.TotalReadSectors;
        errorBitsAtRoundStart_ = test_.currentStatus.TotalErrorBitsFromFlash;

        testTimer_.restart();
        batchTimer_.restart();
        lastAecChangeSeconds_ = 0;
        offset_ = 0;
        std::cout << "Start Normal Test." << std::endl;
    }

    void RunBatch() {
        writeTicks_ = 0;
        readTicks_ = 0;
        stop_ = kGoOn;
        blocks_ = 0;
        batchTimer_.restart();
        batchStart_ = offset_;

        WritePass();
        ReadPass();
        writeSpeed_ = DeviceSpeed(blocks_, writeTicks_, test_.counterFrequency);
        readSpeed_ = DeviceSpeed(blocks_, readTicks_, test_.counterFrequency);
        test_.tally.AddBatch(blocks_, writeTicks_, blocks_, readTicks_);
    }

    void WritePass() {
        for (;;) {
            const StopCode key = PollInterrupt(test_);
            if (key != kGoOn) {
                stop_ = key;
                return;
            }
            writeRequest_.offset = offset_;
            buffers_.Submit(test_, writeRequest_);
            writeTicks_ += buffers_.Complete(test_);
            blockWritten_ = true;
            offset_ += kBlockBytes;
            ++blocks_;
            if (EndOfDriveReached(offset_, test_.driveSize)) {
                stop_ = kEndOfDrive;
                return;
            }
            if (blocks_ == kBatchBlocks) return;
        }
    }

    // Reads back every block the write pass wrote, verifying each block while
    // the next one is being read.
    void ReadPass() {
        offset_ = batchStart_;
        for (std::uint32_t i = 0; i < blocks_; ++i) {
            if (stop_ == kGoOn) stop_ = PollInterrupt(test_);
            std::uint8_t* toVerify = SwapReadBuffer();
            readRequest_.offset = offset_;
            buffers_.Submit(test_, readRequest_);
            if (i != 0) {
                VerifyAndClearBlock(test_, toVerify, current_->data());
            }
            readTicks_ += buffers_.Complete(test_);
            offset_ += kBlockBytes;
        }
        if (blocks_ != 0) {
            VerifyBlock(test_, static_cast<const std::uint8_t*>(readRequest_.buffer),
                        current_->data());
        }
    }

    // Gives the read request the other read buffer; returns the one it held.
    std::uint8_t* SwapReadBuffer() {
        auto* held = static_cast<std::uint8_t*>(readRequest_.buffer);
        std::uint8_t* readA = buffers_[kReadA].data();
        readRequest_.buffer = held == readA ? buffers_[kReadB].data() : readA;
        return held;
    }

    void InRoundStep() {
        const auto aecBefore = static_cast<std::uint32_t>(test_.currentStatus.AverageEraseCount);
        if (UpdateDriveStatus(test_)) {
            AppendResult(test_, readSpeed_, writeSpeed_, 0);
            const auto aecNow = static_cast<std::uint32_t>(test_.currentStatus.AverageEraseCount);
            if (aecNow != aecBefore) {
                const double now = testTimer_.elapsed_seconds();
                if (lastAecChangeSeconds_ != 0) PrintEta(aecBefore, aecNow, now);
                lastAecChangeSeconds_ = now;
            }
        }
        PrintProgress(offset_, blocks_, batchTimer_);
    }

    void PrintEta(std::uint32_t aecBefore, std::uint32_t aecNow, double nowSeconds) {
        const double roundSeconds = nowSeconds - lastAecChangeSeconds_;
        const std::uint32_t remainingSteps =
            aecNow < test_.aecTarget ? test_.aecTarget - aecNow : 0;
        const double remainingDays = roundSeconds * remainingSteps / 24 / 60 / 60;
        const std::string eta = EtaText(LocalTimeNow(), remainingDays);
        std::cout << "Current AEC: " << aecBefore << std::endl;
        std::cout << "Round Time: " << roundSeconds << std::endl;
        std::cout << "ETA : " << eta << std::endl;
    }

    // Returns true when the test is over.
    bool EndOfRoundStep() {
        UpdateDriveStatus(test_);
        const CKVTStatus& status = test_.currentStatus;
        const std::uint64_t sectorsNow = status.TotalReadSectors;
        const std::uint64_t errorBitsNow = status.TotalErrorBitsFromFlash;
        const double roundRber =
            RoundRber(stop_, status, sectorsAtRoundStart_, errorBitsAtRoundStart_);
        AppendResult(test_, readSpeed_, writeSpeed_, roundRber);
        PublishAndCapture(test_);
        if (stop_ == kEndOfDrive) ++test_.tally.rounds;
        NoteRoundEnd(test_, stop_ == kEndOfDrive);

        if (static_cast<std::uint32_t>(status.AverageEraseCount) >= test_.aecTarget ||
            stop_ == kAbandoned) {
            // A test abandoned before its first block left the drive and the
            // dump files of an earlier test as they were.
            if (blockWritten_) WriteDumpFiles(test_, current_->data(), previous_->data());
            return true;
        }

        sectorsAtRoundStart_ = sectorsNow;
        errorBitsAtRoundStart_ = errorBitsNow;
        std::swap(current_, previous_);
        writeRequest_.buffer = current_->data();
        FillPattern(test_, current_->words());
        offset_ = 0;
        std::cout << "Round Finished." << std::endl;
        return false;
    }

    // After a failure the drive holds the current pattern in the blocks this
    // round wrote and the previous one behind them, as after an abandoned
    // round: the dump files say so, unless the test never wrote a block.
    void WriteDumpFilesAfterFailure() noexcept {
        try {
            if (blockWritten_) WriteDumpFiles(test_, current_->data(), previous_->data());
        } catch (...) {
            // The failure that is leaving matters more than the dump files.
        }
    }

    CSSDTest& test_;
    TransferBuffers buffers_;
    BlockBuffer* current_ = &buffers_[kPatternA];
    BlockBuffer* previous_ = &buffers_[kPatternB];  // zero-filled until the first round ends
    IoRequest& writeRequest_ = buffers_.Request(kWrite);
    IoRequest& readRequest_ = buffers_.Request(kRead);

    std::int64_t offset_ = 0;
    std::int64_t batchStart_ = 0;
    std::uint32_t blocks_ = 0;
    StopCode stop_ = kGoOn;
    std::uint64_t writeTicks_ = 0;
    std::uint64_t readTicks_ = 0;
    double writeSpeed_ = 0;
    double readSpeed_ = 0;

    std::uint64_t sectorsAtRoundStart_ = 0;
    std::uint64_t errorBitsAtRoundStart_ = 0;
    mmtimer testTimer_;
    mmtimer batchTimer_;
    double lastAecChangeSeconds_ = 0;

    bool blockWritten_ = false;  // the drive reported a block of this test written
};

}  // namespace

void NormalTest(CSSDTest& test) { NormalTestRun(test).Run(); }
