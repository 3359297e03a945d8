// Wide console output of the win32 backend.
#include <iostream>

#include "platform/console.h"
#include "tests/platform/win32/check.h"

CHECK_CASE(WideTextTheRuntimeCannotConvertKeepsTheStreamWorking) {
    // A model or path with a character outside the runtime's code page.
    platform::WriteWide(L"  wide text: Model \u0416\u4E2D end\n");
    EXPECT_TRUE(std::wcout.good());
    platform::WriteWide(L"  wide text: next line\n");
    EXPECT_TRUE(std::wcout.good());
}
