// A test keeps the system awake while it runs and lets it sleep afterwards.
#include <windows.h>

#include "platform/unattended.h"
#include "tests/platform/win32/check.h"

CHECK_CASE(TestKeepsTheSystemAwakeUntilItEnds) {
    platform::BeginUnattendedTest(3);
    // Setting a state returns the one before: what the test left.
    const EXECUTION_STATE during = SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    EXPECT_TRUE((during & ES_SYSTEM_REQUIRED) != 0);
    platform::EndUnattendedTest();
    const EXECUTION_STATE after = SetThreadExecutionState(ES_CONTINUOUS);
    EXPECT_TRUE((after & ES_SYSTEM_REQUIRED) == 0);
    platform::EndUnattendedTest();  // without a begin: harmless
}
