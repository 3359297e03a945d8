#include "console/run_test.h"

#include "console/check_interrupt.h"
#include "engine/normal_test.h"
#include "engine/read_only_test.h"
#include "platform/console.h"
#include "tracking/drive_check.h"
#include "tracking/result_log.h"

namespace {

// Signals that would end the program abandon the test instead while it runs.
struct CatchingStopRequests {
    CatchingStopRequests() { platform::CatchStopRequests(true); }
    ~CatchingStopRequests() { platform::CatchStopRequests(false); }
};

}  // namespace

void RunTest(std::uint32_t driveNumber, std::uint32_t aecTarget, bool readOnly, CSSDTest& test) {
    test.driveNumber = driveNumber;
    test.aecTarget = aecTarget;
    test.interruptPoll = CheckInterrupt;
    const CatchingStopRequests catching;
    CheckDrive(test);
    OpenDrive(test);
    OpenResultLog(test);
    if (readOnly)
        ReadOnlyTest(test);
    else
        NormalTest(test);
}
