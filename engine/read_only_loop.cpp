#include "engine/read_only_loop.h"

#include <cstdint>
#include <cstring>

#include "engine/block_io.h"
#include "engine/dump_record.h"
#include "engine/loop_support.h"
#include "engine/mmtimer.h"
#include "engine/pattern.h"
#include "engine/read_pipeline.h"
#include "text/operator_output.h"
#include "tracking/drive_check.h"

namespace {

enum BufferIndex { kReference, kPrevious, kReadA, kReadB, kBufferCount };

// Verifies each block against the pattern the dump record says this tool last
// wrote there. Where that is not known (no record, or a block written when the
// last test stopped that holds neither pattern), the block is not counted.
class BlockChecker : public BlockVerifier {
public:
    BlockChecker(CSSDTest& test, const std::uint8_t* current, std::uint8_t* previous)
        : test_(test), current_(current), previous_(previous) {}

    /// Reads the record and dump file 2, once `current` holds dump file 1.
    void LoadRecord() { recordValid_ = LoadDumpRecord(test_, current_, previous_, &record_); }

    void Verify(const std::uint8_t* data, std::int64_t offsetBytes) override {
        const RecordedPattern expected =
            recordValid_ ? ExpectedAt(record_, offsetBytes) : RecordedPattern::Unknown;
        if (expected == RecordedPattern::Current) return VerifyBlock(test_, data, current_);
        if (expected == RecordedPattern::Previous) return VerifyBlock(test_, data, previous_);
        if (std::memcmp(data, current_, kBlockBytes) == 0) return;
        if (recordValid_ && std::memcmp(data, previous_, kBlockBytes) == 0) return;
        ++unknownBlocks_;
    }

    /// One line about the blocks that were not counted, if any.
    void Report() const {
        if (unknownBlocks_ == 0) return;
        Out() << "Verify Unknown : " << unknownBlocks_
              << (recordValid_ ? " blocks hold neither dump file's pattern where the last test's "
                                 "writes are not known; not counted"
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
          buffers_(kBufferCount),
          checker_(test, buffers_[kReference].data(), buffers_[kPrevious].data()),
          reads_(test, buffers_, kReadA, kReadB, buffers_.Request(0), checker_) {}

    void Run() {
        SetUp();
        for (;;) {
            RunBatch();
            UpdateDriveStatus(test_);
            if (stop_ != kGoOn) return EndOfRound();
            PrintProgress(offset_, blocks_, batchTimer_);
        }
    }

private:
    void SetUp() {
        ReadDumpFile(test_, buffers_[kReference].data());
        checker_.LoadRecord();
        sectorsAtStart_ = test_.currentStatus->TotalReadSectors;
        errorBitsAtStart_ = RateErrorBits(test_);
        offset_ = 0;
        Out() << "Start Read Only Test." << std::endl;
    }

    // The batch is formed by the reads: a key stops it at once.
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
        reads_.Finish();
        readSpeed_ = DeviceSpeed(blocks_, readTicks, test_.counterFrequency);
        test_.tally.AddBatch(0, 0, blocks_, readTicks);
    }

    void EndOfRound() {
        checker_.Report();
        CloseRound(test_, stop_, readSpeed_, 0, sectorsAtStart_, errorBitsAtStart_);
    }

    CSSDTest& test_;
    TransferBuffers buffers_;
    BlockChecker checker_;
    ReadPipeline reads_;

    std::int64_t offset_ = 0;
    std::uint32_t blocks_ = 0;
    StopCode stop_ = kGoOn;
    double readSpeed_ = 0;
    std::uint64_t sectorsAtStart_ = 0;
    std::uint64_t errorBitsAtStart_ = 0;
    mmtimer batchTimer_;
};

}  // namespace

void ReadOnlyTest(CSSDTest& test) { ReadOnlyTestRun(test).Run(); }
