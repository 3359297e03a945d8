#include "console/run_driver.h"

#include <memory>

#include "console/check_interrupt.h"
#include "engine/drive_open.h"
#include "engine/drive_refusal.h"
#include "engine/normal_loop.h"
#include "engine/read_only_loop.h"
#include "platform/console.h"
#include "platform/unattended.h"
#include "tracking/drive_check.h"
#include "tracking/result_log.h"
#include "tracking/run_notes.h"

namespace {

// Signals that would end the program abandon the test instead while it runs.
struct CatchingStopRequests {
    CatchingStopRequests() { platform::CatchStopRequests(true); }
    ~CatchingStopRequests() { platform::CatchStopRequests(false); }
};

// The test's span: the machine kept awake and the console kept from freezing.
struct UnattendedTest {
    UnattendedTest() { platform::BeginUnattendedTest(); }
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

}  // namespace

RunEnd RunTest(std::uint32_t driveNumber, std::uint32_t aecTarget, bool readOnly, CSSDTest& test) {
    test.driveNumber = driveNumber;
    test.aecTarget = aecTarget;
    // The poll's own answer tells an abandoned test from one that ran to its end.
    auto abandoned = std::make_shared<bool>(false);
    test.interruptPoll = [abandoned](CSSDTest& polled) {
        const StopCode code = CheckInterrupt(polled);
        if (code == kAbandoned) *abandoned = true;
        return code;
    };
    const CatchingStopRequests catching;
    try {
        GuardDrive(test);
        CheckDrive(test);
        OpenDrive(test);
        OpenResultLog(test);
        StartTally(test);
        NoteTestStart(test, readOnly);
        const UnattendedTest unattended;
        if (readOnly)
            ReadOnlyTest(test);
        else
            NormalTest(test);
    } catch (const DriveRefusal& refusal) {
        NoteTestEnd(test, std::string("refused: ") + refusal.what(), platform::TraceLevel::Warning);
        throw;
    } catch (const std::exception& failure) {
        NoteTestEnd(test, std::string("failed: ") + failure.what(), platform::TraceLevel::Error);
        throw;
    }
    RunEnd end = RunEnd::kFinished;
    if (test.abandonRequested)
        end = RunEnd::kFailed;
    else if (*abandoned)
        end = RunEnd::kAbandoned;
    static const char* const kEndNotes[] = {"finished", "abandoned", "stopped after a failure"};
    NoteTestEnd(test, kEndNotes[static_cast<int>(end)],
                end == RunEnd::kFailed ? platform::TraceLevel::Error : platform::TraceLevel::Info);
    return end;
}
