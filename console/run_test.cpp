#include "console/run_test.h"

#include <memory>

#include "console/check_interrupt.h"
#include "engine/drive_refusal.h"
#include "engine/normal_test.h"
#include "engine/read_only_test.h"
#include "platform/unattended.h"
#include "tracking/drive_check.h"
#include "tracking/result_log.h"
#include "tracking/run_notes.h"

namespace {

// The test's span: the machine kept awake and the console kept from freezing.
struct UnattendedTest {
    UnattendedTest() { platform::BeginUnattendedTest(); }
    ~UnattendedTest() { platform::EndUnattendedTest(); }
    UnattendedTest(const UnattendedTest&) = delete;
    UnattendedTest& operator=(const UnattendedTest&) = delete;
};

void StartTally(CSSDTest& test) {
    test.tally.startAverageEraseCount = test.currentStatus.AverageEraseCount;
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
    try {
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
    const RunEnd end = *abandoned ? RunEnd::kAbandoned : RunEnd::kFinished;
    NoteTestEnd(test, end == RunEnd::kAbandoned ? "abandoned" : "finished",
                platform::TraceLevel::Info);
    return end;
}
