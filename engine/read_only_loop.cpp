#include "engine/read_only_loop.h"

#include <cstdint>
#include <cstring>

#include "engine/block_io.h"
#include "engine/dump_record.h"
#include "engine/loop_support.h"
#include "engine/mapped_verifier.h"
#include "engine/mmtimer.h"
#include "engine/pattern.h"
#include "engine/read_pipeline.h"
#include "text/operator_output.h"

namespace {

// The two patterns, then the read pipeline's buffers (the queue depth and one).
enum BufferIndex { kReference, kPrevious, kFirstRead };

// Verifies each block against the pattern the dump record says this tool last
// wrote there. Where that is not known (no record, or a block written when the
// last test stopped that holds neither pattern), the block is not counted.
class BlockChecker : public BlockVerifier {
public:
    BlockChecker(CSSDTest& test, const std::uint8_t* current, std::uint8_t* previous)
        : test_(test), current_(current), previous_(previous) {}

    /// Reads the record and dump file 2, once `current` holds dump file 1; a
    /// rejected record or dump file is named with the reason.
    void LoadRecord() {
        std::wstring rejection;
        recordValid_ = LoadDumpRecord(test_, current_, previous_, &record_, &rejection);
        if (!rejection.empty()) OutWide(rejection + L"\n");
    }

    BlockErrors Verify(const std::uint8_t* data, std::int64_t offsetBytes) override {
        const RecordedPattern expected =
            recordValid_ ? ExpectedAt(record_, offsetBytes) : RecordedPattern::Unknown;
        if (expected == RecordedPattern::Current) return VerifyBlock(test_, data, current_);
        if (expected == RecordedPattern::Previous) return VerifyBlock(test_, data, previous_);
        // A block the record says was never written holds nothing known: it
        // is not compared with dump file 2, whose zeros stand for "unknown".
        if (expected == RecordedPattern::Unknown && recordValid_) {
            ++unknownBlocks_;
            return {0, 0};
        }
        const bool known = std::memcmp(data, current_, kBlockBytes) == 0 ||
                           (recordValid_ && std::memcmp(data, previous_, kBlockBytes) == 0);
        if (!known) ++unknownBlocks_;
        return {0, 0};
    }

    /// One line about the blocks that were not counted, if any.
    void Report() const {
        if (unknownBlocks_ == 0) return;
        Out() << "Verify Unknown : " << unknownBlocks_
              << (recordValid_ ? " blocks were never written by the last test, or hold neither "
                                 "dump file's pattern where its writes are not known; not counted"
                               : " blocks differ from dump file 1 and no dump record tells what "
                                 "was written there; not counted")
              << std::endl;
    }

private:
    CSSDTest& test_;
    const std::uint8_t* current_;
    std::uint8_t* previous_;
    DumpRecord record_;
    bool recordValid_ = false;
    std::uint64_t unknownBlocks_ = 0;
};

class ReadOnlyTestRun {
public:
    explicit ReadOnlyTestRun(CSSDTest& test)
        : test_(test),
          buffers_(kFirstRead + static_cast<int>(LoopQueueDepth(test, test)) + 1,
                   LoopQueueDepth(test, test)),
          checker_(test, buffers_[kReference].data(), buffers_[kPrevious].data()),
          mapped_(test, checker_, true),
          reads_(test, test.timings, buffers_, kFirstRead, mapped_),
          events_(RoundEventsOf(test)) {}

    void Run() {
        SetUp();
        for (;;) {
            RunBatch();
            events_.BatchDone(readSpeed_, 0, false);
            if (stop_ != kGoOn) return EndOfRound();
            PrintProgress(offset_, blocks_, batchTimer_);
            NotifyRun(test_, RunMoment::kBatch);
        }
    }

private:
    void SetUp() {
        ReadDumpFile(test_, buffers_[kReference].data());
        checker_.LoadRecord();
        events_.RoundStarted();
        offset_ = 0;
        Out() << "Start Read Only Test." << std::endl;
    }

    // The batch is formed by the reads: a key stops it at once, once the reads
    // in flight have completed and been verified.
    void RunBatch() {
        std::uint64_t readTicks = 0;
        blocks_ = 0;
        batchTimer_.restart();
        for (;;) {
            stop_ = PollInterrupt(test_);
            if (stop_ != kGoOn) break;
            readTicks += reads_.Read(offset_);
            offset_ += kBlockBytes;
            ++blocks_;
            if (BatchEnds(offset_, test_.driveSize, blocks_, &stop_)) break;
        }
        readTicks += reads_.Finish();
        readSpeed_ = DeviceSpeed(blocks_, readTicks, test_.counterFrequency);
        test_.tally.AddBatch(0, 0, blocks_, readTicks);
        test_.tally.roundBytes = offset_;
    }

    void EndOfRound() {
        checker_.Report();
        events_.RoundClosed(stop_, readSpeed_, 0);
    }

    CSSDTest& test_;
    TransferBuffers buffers_;
    BlockChecker checker_;
    MappedVerifier mapped_;
    ReadPipeline reads_;
    RoundEvents& events_;  // told of each batch and of the pass's end

    std::int64_t offset_ = 0;
    std::uint32_t blocks_ = 0;
    StopCode stop_ = kGoOn;
    double readSpeed_ = 0;
    mmtimer batchTimer_;
};

}  // namespace

void ReadOnlyTest(CSSDTest& test) { ReadOnlyTestRun(test).Run(); }
