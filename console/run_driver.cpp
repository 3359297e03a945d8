#include "console/run_driver.h"

#include <ctime>
#include <memory>
#include <string>

#include "console/build_version.h"
#include "console/check_interrupt.h"
#include "engine/drive_open.h"
#include "engine/drive_refusal.h"
#include "engine/dump_record.h"
#include "engine/normal_loop.h"
#include "engine/read_only_loop.h"
#include "platform/console.h"
#include "platform/unattended.h"
#include "tracking/drive_check.h"
#include "tracking/result_log.h"
#include "tracking/round_recorder.h"
#include "tracking/run_figures.h"
#include "tracking/run_notes.h"
#include "tracking/run_publisher.h"

namespace {

// Signals that would end the program abandon the test instead while it runs.
struct CatchingStopRequests {
    CatchingStopRequests() { platform::CatchStopRequests(true); }
    ~CatchingStopRequests() { platform::CatchStopRequests(false); }
};

// The test's span: the machine kept awake, the console kept from freezing,
// a shutdown turned into a stop request.
struct UnattendedTest {
    explicit UnattendedTest(platform::DriveNumber driveNumber) {
        platform::BeginUnattendedTest(driveNumber);
    }
    ~UnattendedTest() { platform::EndUnattendedTest(); }
    UnattendedTest(const UnattendedTest&) = delete;
    UnattendedTest& operator=(const UnattendedTest&) = delete;
};

void StartTally(CSSDTest& test) {
    test.tally.startAverageEraseCount = test.currentStatus->AverageEraseCount;
    test.tally.startBitErrors = test.uncorrectableBitErrors;
    test.tally.startFailedSectors = test.sectorFailCount;
    test.tally.started = true;
}

constexpr RunState kEndStates[] = {RunState::kFinished, RunState::kAbandoned, RunState::kFailed};

// Why a test that did not finish ended: the failure the loop said, or what
// abandoned it.
std::string EndReason(const CSSDTest& test, RunEnd end) {
    if (end == RunEnd::kFinished) return std::string();
    if (end == RunEnd::kFailed)
        return test.stateReason.empty() ? "stopped after a failure" : test.stateReason;
    const std::string request = platform::StopRequest();
    return request.empty() ? "abandoned by a key" : "abandoned by " + request;
}

}  // namespace

RunEnd RunTest(platform::DriveNumber driveNumber, std::uint32_t aecTarget, bool readOnly,
               CSSDTest& test, bool readKeys) {
    test.driveNumber = driveNumber;
    test.aecTarget = aecTarget;
    test.readOnly = readOnly;
    if (test.outputs.toolVersion.empty()) test.outputs.toolVersion = BuildVersion();
    RunPublisher publisher(test);  // the status file, metrics and progress line
    RoundRecorder recorder(test);  // SMART, the result log and the viewer, round by round
    // The poll's own answer tells an abandoned test from one that ran to its end.
    auto abandoned = std::make_shared<bool>(false);
    test.interruptPoll = [abandoned, readKeys, &test] {
        const StopCode code = CheckInterrupt(test, *test.currentStatus, readKeys);
        if (code == kAbandoned) *abandoned = true;
        return code;
    };
    const CatchingStopRequests catching;
    try {
        GuardDrive(test, test);
        CheckDrive(test);
        CheckRecordBelongsToDrive(test);
        OpenDrive(test, test);
        OpenResultLog(test);
        StartTally(test);
        publisher.Start();
        NoteTestStart(BuildRunFigures(test, std::time(nullptr)));
        const UnattendedTest unattended(driveNumber);
        if (readOnly)
            ReadOnlyTest(test);
        else
            NormalTest(test);
    } catch (const DriveRefusal& refusal) {
        publisher.End(RunState::kRefused, RefusalText(refusal));
        NoteTestEnd(BuildRunFigures(test, std::time(nullptr)),
                    std::string("refused: ") + refusal.what(), platform::TraceLevel::Warning);
        throw;
    } catch (const std::exception& failure) {
        publisher.End(RunState::kFailed, failure.what());
        NoteTestEnd(BuildRunFigures(test, std::time(nullptr)),
                    std::string("failed: ") + failure.what(), platform::TraceLevel::Error);
        throw;
    }
    RunEnd end = RunEnd::kFinished;
    if (test.abandonRequested)
        end = RunEnd::kFailed;
    else if (*abandoned)
        end = RunEnd::kAbandoned;
    publisher.End(kEndStates[static_cast<int>(end)], EndReason(test, end));
    static const char* const kEndNotes[] = {"finished", "abandoned", "stopped after a failure"};
    NoteTestEnd(BuildRunFigures(test, std::time(nullptr)), kEndNotes[static_cast<int>(end)],
                end == RunEnd::kFailed ? platform::TraceLevel::Error : platform::TraceLevel::Info);
    return end;
}
