#include "engine/read_only_test.h"

#include <algorithm>
#include <cstdint>
#include <iostream>

#include "engine/block_io.h"
#include "engine/loop_support.h"
#include "engine/mmtimer.h"
#include "engine/pattern.h"
#include "tracking/drive_check.h"
#include "tracking/result_log.h"
#include "tracking/run_notes.h"

namespace {

enum BufferIndex { kReference, kReadA, kReadB, kBufferCount };

}  // namespace

void ReadOnlyTest(CSSDTest& test) {
    TransferBuffers buffers(kBufferCount);
    const std::uint8_t* reference = buffers[kReference].data();
    ReadDumpFile(test, buffers[kReference].data());

    IoRequest& request = buffers.Request(0);
    request.isRead = true;
    request.length = kBlockBytes;
    request.buffer = buffers[kReadB].data();
    const std::uint64_t sectorsAtStart = test.currentStatus.TotalReadSectors;
    const std::uint64_t errorBitsAtStart = test.currentStatus.TotalErrorBitsFromFlash;
    std::int64_t offset = 0;
    mmtimer batchTimer;
    std::cout << "Start Read Only Test." << std::endl;

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
                VerifyAndClearBlock(test, toVerify, reference);
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
            VerifyBlock(test, static_cast<const std::uint8_t*>(request.buffer), reference);
        }
        const double readSpeed = DeviceSpeed(blocks, readTicks, test.counterFrequency);
        test.tally.AddBatch(0, 0, blocks, readTicks);
        UpdateDriveStatus(test);
        if (stop == kGoOn) {
            PrintProgress(offset, blocks, batchTimer);
            continue;
        }

        const double rber = RoundRber(stop, test.currentStatus, sectorsAtStart, errorBitsAtStart);
        AppendResult(test, readSpeed, 0, rber);
        PublishAndCapture(test);
        if (stop == kEndOfDrive) ++test.tally.rounds;
        NoteRoundEnd(test, stop == kEndOfDrive);
        return;
    }
}
