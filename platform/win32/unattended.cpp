// A test keeps the system awake (disk transfers do not count as activity for
// the idle timer) and switches the console's QuickEdit mode off: a click
// would otherwise start a selection that freezes every console write, and
// with it the test and its timing.
#include "platform/unattended.h"

#include <windows.h>

namespace platform {
namespace {

bool quickEditTurnedOff = false;

}  // namespace

void BeginUnattendedTest() {
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (quickEditTurnedOff || !GetConsoleMode(input, &mode) || !(mode & ENABLE_QUICK_EDIT_MODE))
        return;
    const DWORD quickEdit = ENABLE_QUICK_EDIT_MODE;
    quickEditTurnedOff =
        SetConsoleMode(input, (mode & ~quickEdit) | ENABLE_EXTENDED_FLAGS) != FALSE;
}

void EndUnattendedTest() {
    SetThreadExecutionState(ES_CONTINUOUS);
    if (!quickEditTurnedOff) return;
    quickEditTurnedOff = false;
    // Only the QuickEdit bit goes back; the rest of the mode stays as it is now.
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode))
        SetConsoleMode(input, mode | ENABLE_QUICK_EDIT_MODE | ENABLE_EXTENDED_FLAGS);
}

}  // namespace platform
