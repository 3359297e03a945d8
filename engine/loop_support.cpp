#include "engine/loop_support.h"

#include <stdexcept>

#include "engine/mapped_verifier.h"
#include "platform/drive.h"
#include "text/operator_output.h"
#include "tracking/drive_check.h"
#include "tracking/log_publish.h"
#include "tracking/result_log.h"
#include "tracking/run_notes.h"
#include "viewer/gauge_lens.h"

StopCode PollInterrupt(RunControl& control) {
    if (control.abandonRequested) return kAbandoned;
    return control.interruptPoll ? control.interruptPoll() : kGoOn;
}

void NotifyRun(const RunControl& control, RunMoment moment) {
    if (control.runObserver) control.runObserver(moment);
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

double RoundRber(StopCode stop, const CSSDStatus& status, const VerificationTotals& totals,
                 std::uint64_t sectorsAtStart, std::uint64_t errorBitsAtStart) {
    const std::uint64_t readSectors = status.TotalReadSectors;
    if (stop != kEndOfDrive || readSectors == sectorsAtStart) return 0;
    const double errorBits = static_cast<double>(RateErrorBits(status, totals) - errorBitsAtStart);
    const double sectors = static_cast<double>(readSectors - sectorsAtStart);
    const double rate = errorBits / (sectors * 4096);
    Out() << "RBER: " << rate << std::endl;
    return rate;
}

void PublishAndCapture(CSSDTest& test) {
    PublishResultLog(test);
    if (test.resultLog.fail()) throw std::runtime_error("Log Reopen Failed!");
    RunGaugeLens(test, test);
}

void CloseRound(CSSDTest& test, StopCode stop, double readSpeed, double writeSpeed,
                std::uint64_t sectorsAtStart, std::uint64_t errorBitsAtStart) {
    const double rber =
        RoundRber(stop, *test.currentStatus, test, sectorsAtStart, errorBitsAtStart);
    AppendResult(test, readSpeed, writeSpeed, rber);
    WriteErrorMapRound(test, stop == kEndOfDrive);
    PublishAndCapture(test);
    const bool complete = stop == kEndOfDrive;
    if (complete) {
        ++test.tally.rounds;
        test.tally.roundBytes = 0;
    }
    // A round stopped before its first block gets no note of its own: the
    // note of the round before it says where the test stands.
    const std::uint64_t blocks = test.tally.blocksWritten + test.tally.blocksRead;
    if (complete || blocks != test.tally.blocksAtRoundStart) NoteRoundEnd(test, complete);
    test.tally.blocksAtRoundStart = blocks;
    NotifyRun(test, RunMoment::kRoundEnd);
}
