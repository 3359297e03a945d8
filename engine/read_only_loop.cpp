#include "engine/read_only_loop.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/block_io.h"
#include "engine/dump_record.h"
#include "engine/loop_support.h"
#include "engine/mmtimer.h"
#include "engine/pattern.h"
#include "text/operator_output.h"
#include "tracking/drive_check.h"
#include "tracking/result_log.h"
#include "tracking/run_notes.h"

namespace {

enum BufferIndex { kReference, kPrevious, kReadA, kReadB, kBufferCount };

// Verifies each block against the pattern the dump record says this tool last
// wrote there. Where that is not known (no record, or a block written when the
// last test stopped that holds neither pattern), the block is not counted.
class BlockChecker {
public:
    BlockChecker(CSSDTest& test, const std::uint8_t* current, std::uint8_t* previous)
        : test_(test), current_(current), previous_(previous) {
        recordValid_ = LoadDumpRecord(test, current, previous, &record_);
    }

    void Check(const std::uint8_t* data, std::int64_t offsetBytes) {
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
    const std::uint8_t* previous_;
    DumpRecord record_;
    bool recordValid_ = false;
    std::uint64_t unknownBlocks_ = 0;
};

}  // namespace

void ReadOnlyTest(CSSDTest& test) {
    TransferBuffers buffers(kBufferCount);
    const std::uint8_t* reference = buffers[kReference].data();
    ReadDumpFile(test, buffers[kReference].data());
    BlockChecker checker(test, reference, buffers[kPrevious].data());

    IoRequest& request = buffers.Request(0);
    request.isRead = true;
    request.length = kBlockBytes;
    request.buffer = buffers[kReadB].data();
    const std::uint64_t sectorsAtStart = test.currentStatus.TotalReadSectors;
    const std::uint64_t errorBitsAtStart = test.currentStatus.TotalErrorBitsFromFlash;
    std::int64_t offset = 0;
    mmtimer batchTimer;
    Out() << "Start Read Only Test." << std::endl;

    for (;;) {
        std::uint64_t readTicks = 0;
        StopCode stop = kGoOn;
        std::uint32_t blocks = 0;
        batchTimer.restart();

        // The batch is formed by the reads: a key stops it at once, and each
        // block is verified while the next one is being read.
        for (;;) {
            const StopCode key = PollInterrupt(test);
            if (key != kGoOn) {
                stop = key;
                break;
            }
            auto* toVerify = static_cast<std::uint8_t*>(request.buffer);
            request.buffer = toVerify == buffers[kReadA].data() ? buffers[kReadB].data()
                                                                : buffers[kReadA].data();
            request.offset = offset;
            buffers.Submit(test, request);
            if (blocks != 0) {
                checker.Check(toVerify, offset - kBlockBytes);
                std::fill(toVerify, toVerify + kBlockBytes, 0);
            }
            readTicks += buffers.Complete(test);
            offset += kBlockBytes;
            ++blocks;
            if (EndOfDriveReached(offset, test.driveSize)) {
                stop = kEndOfDrive;
                break;
            }
            if (blocks == kBatchBlocks) break;
        }
        if (blocks != 0) {
            checker.Check(static_cast<const std::uint8_t*>(request.buffer), offset - kBlockBytes);
        }
        const double readSpeed = DeviceSpeed(blocks, readTicks, test.counterFrequency);
        test.tally.AddBatch(0, 0, blocks, readTicks);
        UpdateDriveStatus(test);
        if (stop == kGoOn) {
            PrintProgress(offset, blocks, batchTimer);
            continue;
        }

        checker.Report();
        const double rber = RoundRber(stop, test.currentStatus, sectorsAtStart, errorBitsAtStart);
        AppendResult(test, readSpeed, 0, rber);
        PublishAndCapture(test);
        if (stop == kEndOfDrive) ++test.tally.rounds;
        NoteRoundEnd(test, stop == kEndOfDrive);
        return;
    }
}
