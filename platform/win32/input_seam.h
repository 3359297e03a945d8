// The system calls through which the viewer host brings a window forward and
// types into it; the checks replace them to play a refusing system.
#pragma once

#include <windows.h>

#include <string>

#include "platform/viewer_host.h"

namespace platform {
namespace win32 {

struct InputCalls {
    BOOL(WINAPI* setForeground)(HWND) = SetForegroundWindow;
    HWND(WINAPI* getForeground)() = GetForegroundWindow;
    UINT(WINAPI* sendInput)(UINT, LPINPUT, int) = SendInput;
};

/// The calls in use; the system's own unless a check replaced them.
InputCalls& Input();

/// The system's input record for one key event: digits as Unicode
/// characters (independent of the keyboard layout), other keys as virtual keys.
INPUT KeyInput(const KeyEvent& event);

/// True when a window title is `wanted`, alone or behind a prefix ending in a
/// blank (an elevated console's "Administrator: ", in any language).
bool TitleNamesWindow(const std::wstring& title, const std::wstring& wanted);

}  // namespace win32
}  // namespace platform
