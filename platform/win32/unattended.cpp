// A test keeps the system awake (disk transfers do not count as activity for
// the idle timer), switches the console's QuickEdit mode off (a click would
// otherwise start a selection that freezes every console write, and with it
// the test and its timing) and hears the session end.
#include "platform/unattended.h"

#include <windows.h>

#include "platform/win32/shutdown_watch.h"

namespace platform {
namespace {

bool quickEditTurnedOff = false;

// The console's input, also when standard input is redirected: the mode
// belongs to the console window, which a click freezes all the same.
HANDLE OpenConsoleInput() {
    return CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

}  // namespace

void BeginUnattendedTest(platform::DriveNumber driveNumber) {
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    win32::StartShutdownWatch(driveNumber);
    if (quickEditTurnedOff) return;
    const HANDLE input = OpenConsoleInput();
    if (input == INVALID_HANDLE_VALUE) return;  // no console
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode) && (mode & ENABLE_QUICK_EDIT_MODE) != 0) {
        const DWORD quickEdit = ENABLE_QUICK_EDIT_MODE;
        quickEditTurnedOff =
            SetConsoleMode(input, (mode & ~quickEdit) | ENABLE_EXTENDED_FLAGS) != FALSE;
    }
    CloseHandle(input);
}

void EndUnattendedTest() {
    SetThreadExecutionState(ES_CONTINUOUS);
    win32::StopShutdownWatch();
    if (!quickEditTurnedOff) return;
    quickEditTurnedOff = false;
    // Only the QuickEdit bit goes back; the rest of the mode stays as it is now.
    const HANDLE input = OpenConsoleInput();
    if (input == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode))
        SetConsoleMode(input, mode | ENABLE_QUICK_EDIT_MODE | ENABLE_EXTENDED_FLAGS);
    CloseHandle(input);
}

}  // namespace platform
