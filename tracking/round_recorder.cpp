#include "tracking/round_recorder.h"

#include <boost/date_time/posix_time/posix_time.hpp>
#include <ctime>
#include <stdexcept>
#include <string>

#include "engine/error_map.h"
#include "engine/loop_support.h"
#include "engine/run_folders.h"
#include "platform/process.h"
#include "smart/process_utils.h"
#include "text/operator_output.h"
#include "tracking/drive_check.h"
#include "tracking/log_publish.h"
#include "tracking/result_log.h"
#include "tracking/run_figures.h"
#include "tracking/run_notes.h"
#include "viewer/gauge_lens.h"

namespace {

// Publishes the result log, throws "Log Reopen Failed!" when the log could not
// be reopened, then captures the viewer.
void PublishAndCapture(CSSDTest& test) {
    PublishResultLog(test, test, *test.currentStatus);
    if (test.resultLog.fail()) throw std::runtime_error("Log Reopen Failed!");
    RunGaugeLens(test, test);
}

}  // namespace

RoundRecorder::RoundRecorder(CSSDTest& test) : test_(test) { test_.roundEvents = this; }

RoundRecorder::~RoundRecorder() {
    if (test_.roundEvents == this) test_.roundEvents = nullptr;
}

void RoundRecorder::RoundStarted() {
    sectorsAtStart_ = test_.currentStatus->TotalReadSectors;
    errorBitsAtStart_ = RateErrorBits(*test_.currentStatus, test_);
}

bool RoundRecorder::BatchDone(double readSpeed, double writeSpeed, bool lineOnChange) {
    const bool changed = UpdateDriveStatus(test_, test_, test_.driveNumber);
    if (changed && lineOnChange) AppendResult(test_, readSpeed, writeSpeed, 0);
    return changed;
}

void RoundRecorder::RoundClosed(StopCode stop, double readSpeed, double writeSpeed) {
    const double rber =
        RoundRber(stop, *test_.currentStatus, test_, sectorsAtStart_, errorBitsAtStart_);
    AppendResult(test_, readSpeed, writeSpeed, rber);
    WriteErrorMapRound(test_, stop == kEndOfDrive);
    PublishAndCapture(test_);
    const bool complete = stop == kEndOfDrive;
    RunTally& tally = test_.tally;
    if (complete) {
        ++tally.rounds;
        tally.roundBytes = 0;
    }
    // A round stopped before its first block gets no note of its own: the
    // note of the round before it says where the test stands.
    const std::uint64_t blocks = tally.blocksWritten + tally.blocksRead;
    if (complete || blocks != tally.blocksAtRoundStart)
        NoteRoundEnd(BuildRunFigures(test_, std::time(nullptr)), complete);
    tally.blocksAtRoundStart = blocks;
    NotifyRun(test_, RunMoment::kRoundEnd);
    RoundStarted();
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

void WriteErrorMapRound(CSSDTest& test, bool complete) {
    if (!test.errorMap.HasRound()) return;  // a round that verified nothing is no round
    const std::string time = boost::posix_time::to_iso_extended_string(
                                 boost::posix_time::second_clock::universal_time()) +
                             "Z";
    const std::wstring path = ErrorMapPath(test.resultLogPath);
    const std::string reason = AppendErrorMapRound(test.errorMap, path, time,
                                                   test.currentStatus->AverageEraseCount, complete);
    if (!reason.empty() && !test.errorMapFailureSaid) {
        OutWide(L"Error Map Write Failed: " + path + L": " + ToWide(reason) + L"\n");
        test.errorMapFailureSaid = true;
    }
    // Beside the shared copy of the log too, under the copy's own name when it
    // was moved aside for another drive's log (whose map must stay). A shared
    // folder that cannot be reached is said once, by the log's own copy.
    const std::wstring sharedLog = test.sharedLogName.empty()
                                       ? ResultLogName(*test.currentStatus, PublishFolder(test))
                                       : test.sharedLogName;
    if (reason.empty())
        static_cast<void>(platform::CopyFileReplacing(path, ErrorMapPath(sharedLog)));
}
