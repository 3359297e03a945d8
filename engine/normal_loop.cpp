#include "engine/normal_loop.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "engine/block_io.h"
#include "engine/day_number.h"
#include "engine/dump_record.h"
#include "engine/loop_support.h"
#include "engine/mapped_verifier.h"
#include "engine/mmtimer.h"
#include "engine/pattern.h"
#include "engine/read_pipeline.h"
#include "smart/process_utils.h"
#include "status/cssd_status.h"
#include "text/operator_output.h"

namespace {

// The two patterns, then the read pipeline's buffers (the queue depth and one).
enum BufferIndex { kPatternA, kPatternB, kFirstRead };

// Checks each block read back against the pattern its batch wrote.
class PatternVerifier : public BlockVerifier {
public:
    explicit PatternVerifier(CSSDTest& test) : test_(test) {}
    void SetPattern(const std::uint8_t* pattern) { pattern_ = pattern; }

    BlockErrors Verify(const std::uint8_t* data, std::int64_t) override {
        return VerifyBlock(test_, data, pattern_);
    }
    BlockErrors VerifyAndClear(std::uint8_t* data, std::int64_t) override {
        return VerifyAndClearBlock(test_, data, pattern_);
    }

private:
    CSSDTest& test_;
    const std::uint8_t* pattern_ = nullptr;
};

class NormalTestRun {
public:
    explicit NormalTestRun(CSSDTest& test)
        : test_(test),
          depth_(LoopQueueDepth(test, test)),
          buffers_(kFirstRead + static_cast<int>(depth_) + 1, depth_),
          verifier_(test),
          mapped_(test, verifier_),
          reads_(test, test.timings, buffers_, kFirstRead, mapped_),
          events_(RoundEventsOf(test)) {}

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
            // The summary and the trace count the writes that completed
            // before the failure; the failed batch's reads are not counted.
            if (!batchCounted_) test_.tally.AddBatch(blocks_, writeTicks_, 0, 0);
            // A write that failed may have changed its block or not.
            RecordProgressAfterFailure();
            throw;
        }
    }

private:
    void SetUp() {
        FillPattern(test_, current_->words());
        LoadPreviousPattern();

        events_.RoundStarted();

        testTimer_.restart();
        batchTimer_.restart();
        lastAecChangeSeconds_ = 0;
        offset_ = 0;
        Out() << "Start Normal Test." << std::endl;
    }

    void RunBatch() {
        writeTicks_ = 0;
        readTicks_ = 0;
        stop_ = kGoOn;
        blocks_ = 0;
        batchTimer_.restart();
        batchStart_ = offset_;
        batchRecorded_ = false;
        batchCounted_ = false;

        WritePass();
        ReadPass();
        writeSpeed_ = DeviceSpeed(blocks_, writeTicks_, test_.counterFrequency);
        readSpeed_ = DeviceSpeed(blocks_, readTicks_, test_.counterFrequency);
        test_.tally.AddBatch(blocks_, writeTicks_, blocks_, readTicks_);
        batchCounted_ = true;
        test_.tally.roundBytes = offset_;
    }

    // Writes the batch with up to the queue depth of writes in flight, all
    // from the one pattern buffer; every write has completed when it returns.
    // A stop lets the writes in flight finish, so the records stay exact.
    void WritePass() {
        std::uint32_t submitted = 0;
        for (;;) {
            stop_ = PollInterrupt(test_);
            if (stop_ != kGoOn) break;
            if (!batchRecorded_ && !RecordBatchStart()) {
                // Writing on would leave the drive unlike its records.
                const char* const reason =
                    "Records Not Written: the test ends before writing the drive";
                Out() << reason << std::endl;
                if (test_.stateReason.empty()) test_.stateReason = reason;
                test_.abandonRequested = true;
                stop_ = kAbandoned;
                break;
            }
            buffers_.Submit(test_, test_.timings, offset_, current_->data(), false);
            offset_ += kBlockBytes;
            submittedEnd_ = offset_;
            ++submitted;
            while (buffers_.InFlight() >= depth_) CompleteWrite();
            if (BatchEnds(offset_, test_.driveSize, submitted, &stop_)) break;
        }
        while (buffers_.InFlight() > 0) CompleteWrite();
    }

    void CompleteWrite() {
        writeTicks_ += buffers_.Complete(test_, test_.timings).busyTicks;
        writtenInTest_ += kBlockBytes;
        ++blocks_;
    }

    // Reads back every block the write pass wrote.
    void ReadPass() {
        verifier_.SetPattern(current_->data());
        offset_ = batchStart_;
        for (std::uint32_t i = 0; i < blocks_; ++i) {
            if (stop_ == kGoOn) stop_ = PollInterrupt(test_);
            readTicks_ += reads_.Read(offset_);
            offset_ += kBlockBytes;
        }
        readTicks_ += reads_.Finish();
    }

    void InRoundStep() {
        const auto aecBefore = static_cast<std::uint32_t>(test_.currentStatus->AverageEraseCount);
        const bool changed = events_.BatchDone(readSpeed_, writeSpeed_, true);
        if (SmartLost()) test_.abandonRequested = true;  // the next poll ends the round
        if (changed) {
            const auto aecNow = static_cast<std::uint32_t>(test_.currentStatus->AverageEraseCount);
            if (aecNow != aecBefore) {
                const double now = testTimer_.elapsed_seconds();
                if (lastAecChangeSeconds_ != 0) PrintEta(aecBefore, aecNow, now);
                lastAecChangeSeconds_ = now;
            }
        }
        PrintProgress(offset_, blocks_, batchTimer_);
        NotifyRun(test_, RunMoment::kBatch);
    }

    void PrintEta(std::uint32_t aecBefore, std::uint32_t aecNow, double nowSeconds) {
        const double roundSeconds = nowSeconds - lastAecChangeSeconds_;
        const std::uint32_t remainingSteps =
            aecNow < test_.StopAec() ? test_.StopAec() - aecNow : 0;
        const double remainingDays = roundSeconds * remainingSteps / 24 / 60 / 60;
        const std::string eta = EtaText(LocalTimeNow(), remainingDays);
        Out() << "Current AEC: " << aecBefore << std::endl;
        Out() << "Round Time: " << roundSeconds << std::endl;
        Out() << "ETA : " << eta << std::endl;
    }

    // Returns true when the test is over.
    bool EndOfRoundStep() {
        // Whatever comes next (the viewer capture, a crash), the record says
        // exactly how far this round wrote.
        if (roundDumped_) SaveProgress(submittedEnd_, submittedEnd_);
        events_.BatchDone(readSpeed_, writeSpeed_, false);
        const bool smartLost = SmartLost();
        if (smartLost) test_.abandonRequested = true;  // the test ends itself: a failure
        const CSSDStatus& status = *test_.currentStatus;
        events_.RoundClosed(stop_, readSpeed_, writeSpeed_);

        if (static_cast<std::uint32_t>(status.AverageEraseCount) >= test_.StopAec() ||
            stop_ == kAbandoned || smartLost || test_.abandonRequested) {
            // The dump files were written before the round's first block; a
            // round that wrote nothing left those of the round before.
            return true;
        }

        std::swap(current_, previous_);
        FillPattern(test_, current_->words());
        previousKnown_ = true;  // the round that just ended wrote every block
        roundDumped_ = false;
        submittedEnd_ = 0;
        offset_ = 0;
        Out() << "Round Finished." << std::endl;
        return false;
    }

    // The pattern the drive holds where this test has not written yet: dump
    // file 1 of the test before, when its record shows it wrote a whole round.
    void LoadPreviousPattern() {
        std::uint8_t* previous = previous_->data();
        std::uint8_t* scratch = buffers_[kFirstRead].data();
        DumpRecord record;
        std::wstring rejection;
        previousKnown_ = ReadPatternFile(DumpFileName(1, test_), previous) &&
                         LoadDumpRecord(test_, previous, scratch, &record, &rejection) &&
                         record.writtenBytes >= RoundEndOffset(test_.driveSize);
        if (!rejection.empty()) OutWide(rejection + L"\n");
        if (!previousKnown_) std::fill(previous, previous + kBlockBytes, 0);
        std::fill(scratch, scratch + kBlockBytes, 0);
    }

    // Before a batch's first block: the round's dump files (once per round),
    // then the record that the batch's blocks may hold either pattern. False
    // when either could not be written.
    bool RecordBatchStart() {
        if (!roundDumped_) {
            if (!WriteDumpFiles(test_, current_->data(), previous_->data())) return false;
            record_.currentId = PatternId(current_->data());
            record_.previousId = PatternId(previous_->data());
            record_.previousKnown = previousKnown_;
            roundDumped_ = true;
        }
        batchRecorded_ =
            SaveProgress(batchStart_, batchStart_ + std::int64_t{kBatchBlocks} * kBlockBytes);
        return batchRecorded_;
    }

    bool SaveProgress(std::int64_t writtenBytes, std::int64_t unsureEndBytes) {
        record_.writtenBytes = writtenBytes;
        record_.unsureEndBytes = unsureEndBytes;
        const std::string reason = SaveDumpRecord(test_, record_);
        if (!reason.empty() && !recordFailureSaid_) {
            OutWide(L"Dump Record Write Failed: " + DumpRecordName(test_) + L": " + ToWide(reason) +
                    L"\n");
            recordFailureSaid_ = true;
        }
        return reason.empty();
    }

    // Below the lowest write still in flight (or whose failure ended the test)
    // every write completed; from there up to the last one started, a block
    // may hold either pattern or a torn mix.
    void RecordProgressAfterFailure() noexcept {
        try {
            const std::int64_t lowest = buffers_.LowestWriteInFlight();
            if (roundDumped_) SaveProgress(lowest < 0 ? submittedEnd_ : lowest, submittedEnd_);
        } catch (...) {
            // The failure that is leaving matters more than the record.
        }
    }

    // True (once said) when SMART has not answered while a whole round's
    // worth of blocks was written: the test cannot follow the drive any more.
    bool SmartLost() {
        if (test_.lastRefreshAnswered) {
            writtenAtLastAnswer_ = writtenInTest_;
            return false;
        }
        if (writtenInTest_ - writtenAtLastAnswer_ < RoundEndOffset(test_.driveSize)) return false;
        if (!smartLostSaid_) {
            const std::string reason =
                "SMART Lost: drive " + std::to_string(test_.driveNumber) +
                " has not answered SMART READ DATA for a whole round; test ended";
            Out() << reason << std::endl;
            if (test_.stateReason.empty()) test_.stateReason = reason;
            smartLostSaid_ = true;
        }
        return true;
    }

    CSSDTest& test_;
    std::uint32_t depth_;  // transfers in flight at once
    TransferBuffers buffers_;
    BlockBuffer* current_ = &buffers_[kPatternA];
    BlockBuffer* previous_ = &buffers_[kPatternB];  // zero-filled until the first round ends
    PatternVerifier verifier_;
    MappedVerifier mapped_;
    ReadPipeline reads_;
    RoundEvents& events_;  // SMART, the result log and the viewer, above the loop

    std::int64_t offset_ = 0;
    std::int64_t batchStart_ = 0;
    std::uint32_t blocks_ = 0;
    StopCode stop_ = kGoOn;
    std::uint64_t writeTicks_ = 0;
    std::uint64_t readTicks_ = 0;
    double writeSpeed_ = 0;
    double readSpeed_ = 0;

    mmtimer testTimer_;
    mmtimer batchTimer_;
    double lastAecChangeSeconds_ = 0;

    DumpRecord record_;
    bool previousKnown_ = false;  // previous_ is what the drive holds beyond this round's writes
    bool roundDumped_ = false;    // this round's dump files and record are written
    bool batchRecorded_ = false;  // the record covers the batch being written
    bool batchCounted_ = false;   // the batch is in the run's tally
    bool recordFailureSaid_ = false;
    bool smartLostSaid_ = false;
    std::int64_t submittedEnd_ = 0;  // end of this round's last write started (completed
                                     // too once the write pass is over)
    std::int64_t writtenInTest_ = 0;
    std::int64_t writtenAtLastAnswer_ = 0;
};

}  // namespace

void NormalTest(CSSDTest& test) { NormalTestRun(test).Run(); }
