// The system calls through which the viewer host brings a window forward and
// types into it; the checks replace them to play a refusing system.
#pragma once

#include <windows.h>

namespace platform {
namespace win32 {

struct InputCalls {
    BOOL(WINAPI* setForeground)(HWND) = SetForegroundWindow;
    HWND(WINAPI* getForeground)() = GetForegroundWindow;
    UINT(WINAPI* sendInput)(UINT, LPINPUT, int) = SendInput;
};

/// The calls in use; the system's own unless a check replaced them.
InputCalls& Input();

/// True when a window title is `wanted`, alone or behind a prefix ending in a
/// blank (an elevated console's "Administrator: ", in any language).
bool TitleNamesWindow(const std::wstring& title, const std::wstring& wanted);

}  // namespace win32
}  // namespace platform
