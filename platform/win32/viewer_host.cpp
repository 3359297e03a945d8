// Viewer host service: named mutex, the viewer's process and console window,
// and synthesized key strokes.
#include "platform/viewer_host.h"

#include <windows.h>

namespace platform {

struct NamedMutex {
    HANDLE handle;
};

struct ViewerProcess {
    HANDLE handle;
};

// ConsoleWindow* carries the window's HWND itself: a found window needs no
// closing.

namespace {

HWND WindowOf(ConsoleWindow* window) { return reinterpret_cast<HWND>(window); }

#if defined(_WIN64)
static_assert(sizeof(INPUT) == 40, "INPUT record on 64-bit Windows");
#else
static_assert(sizeof(INPUT) == 28, "INPUT record on 32-bit Windows");
#endif

}  // namespace

NamedMutex* CreateNamedMutex(const std::wstring& name) {
    const HANDLE handle = CreateMutexW(nullptr, FALSE, name.c_str());
    if (handle == nullptr) return nullptr;
    return new NamedMutex{handle};
}

MutexWait WaitNamedMutex(NamedMutex* mutex, std::uint32_t timeoutMs) {
    switch (WaitForSingleObject(mutex->handle, timeoutMs)) {
        case WAIT_OBJECT_0:
            return MutexWait::Acquired;
        case WAIT_TIMEOUT:
            return MutexWait::TimedOut;
        case WAIT_ABANDONED:
            return MutexWait::Abandoned;
        default:
            return MutexWait::Failed;
    }
}

void ReleaseAndCloseMutex(NamedMutex* mutex) {
    if (mutex == nullptr) return;
    ReleaseMutex(mutex->handle);  // fails harmlessly when not owned
    CloseHandle(mutex->handle);
    delete mutex;
}

ViewerProcess* StartInNewConsole(const std::wstring& programPath) {
    // The path is given as the program name too, so that a folder with blanks
    // cannot make the system run a different program (the command line alone
    // would be split at the first blank). The command line must be writable.
    std::wstring commandLine = programPath;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(programPath.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                        CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    return new ViewerProcess{process.hProcess};
}

ConsoleWindow* FindConsoleWindow(const std::wstring& title) {
    return reinterpret_cast<ConsoleWindow*>(FindWindowW(L"ConsoleWindowClass", title.c_str()));
}

void BringToForeground(ConsoleWindow* window) { SetForegroundWindow(WindowOf(window)); }

void SendKeyEvents(const std::vector<KeyEvent>& events) {
    if (events.empty()) return;
    std::vector<INPUT> inputs(events.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
        INPUT& input = inputs[i];
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = events[i].virtualKey;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(events[i].virtualKey, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = events[i].release ? KEYEVENTF_KEYUP : 0;
        input.ki.time = 0;
        input.ki.dwExtraInfo = 0;
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void PostClose(ConsoleWindow* window) { PostMessageW(WindowOf(window), WM_CLOSE, 0, 0); }

bool WaitProcessEnd(ViewerProcess* process, std::uint32_t timeoutMs) {
    return WaitForSingleObject(process->handle, timeoutMs) == WAIT_OBJECT_0;
}

void TerminateViewer(ViewerProcess* process) { TerminateProcess(process->handle, 1); }

void CloseViewerProcess(ViewerProcess* process) {
    if (process == nullptr) return;
    CloseHandle(process->handle);
    delete process;
}

}  // namespace platform
