#include "console/run_test.h"

#include "console/check_interrupt.h"
#include "engine/normal_test.h"
#include "engine/read_only_test.h"
#include "tracking/drive_check.h"
#include "tracking/result_log.h"

void RunTest(std::uint32_t driveNumber, std::uint32_t aecTarget, bool readOnly, CSSDTest& test) {
    test.driveNumber = driveNumber;
    test.aecTarget = aecTarget;
    test.interruptPoll = CheckInterrupt;
    CheckDrive(test);
    OpenDrive(test);
    OpenResultLog(test);
    if (readOnly)
        ReadOnlyTest(test);
    else
        NormalTest(test);
}
