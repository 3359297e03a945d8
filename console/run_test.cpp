#include "console/run_test.h"

#include "console/check_interrupt.h"
#include "engine/normal_test.h"
#include "engine/read_only_test.h"
#include "platform/unattended.h"
#include "tracking/drive_check.h"
#include "tracking/result_log.h"

namespace {

// The test's span: the machine kept awake and the console kept from freezing.
struct UnattendedTest {
    UnattendedTest() { platform::BeginUnattendedTest(); }
    ~UnattendedTest() { platform::EndUnattendedTest(); }
    UnattendedTest(const UnattendedTest&) = delete;
    UnattendedTest& operator=(const UnattendedTest&) = delete;
};

}  // namespace

void RunTest(std::uint32_t driveNumber, std::uint32_t aecTarget, bool readOnly, CSSDTest& test) {
    test.driveNumber = driveNumber;
    test.aecTarget = aecTarget;
    test.interruptPoll = CheckInterrupt;
    CheckDrive(test);
    OpenDrive(test);
    OpenResultLog(test);
    const UnattendedTest unattended;
    if (readOnly)
        ReadOnlyTest(test);
    else
        NormalTest(test);
}
