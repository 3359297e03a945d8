// Viewer host service: named mutex, the viewer's process and console window,
// and synthesized key strokes.
#include "platform/viewer_host.h"

#include <windows.h>

#include <string>

#include "platform/win32/input_seam.h"

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

constexpr int kTitleChars = 4096;

struct TitleSearch {
    const std::wstring* wanted;
    HWND found;
};

BOOL CALLBACK MatchConsoleTitle(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<TitleSearch*>(context);
    wchar_t className[64] = {};
    if (GetClassNameW(window, className, 64) == 0 ||
        std::wstring(className) != L"ConsoleWindowClass")
        return TRUE;
    std::wstring title(kTitleChars, L'\0');
    title.resize(static_cast<std::size_t>(GetWindowTextW(window, &title[0], kTitleChars)));
    if (!win32::TitleNamesWindow(title, *search->wanted)) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

win32::InputCalls& win32::Input() {
    static InputCalls calls;
    return calls;
}

bool win32::TitleNamesWindow(const std::wstring& title, const std::wstring& wanted) {
    if (wanted.empty() || title.size() < wanted.size()) return false;
    const std::size_t prefix = title.size() - wanted.size();
    if (title.compare(prefix, wanted.size(), wanted) != 0) return false;
    return prefix == 0 || title[prefix - 1] == L' ';
}

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
    // An elevated console's title starts with a localised "Administrator: ",
    // so the title's end is matched rather than the whole title.
    TitleSearch search{&title, nullptr};
    EnumWindows(MatchConsoleTitle, reinterpret_cast<LPARAM>(&search));
    return reinterpret_cast<ConsoleWindow*>(search.found);
}

bool BringToForeground(ConsoleWindow* window) {
    // The system may refuse (the operator works in another program, the
    // screen is locked): then keys would reach whatever window has the focus.
    win32::InputCalls& calls = win32::Input();
    calls.setForeground(WindowOf(window));
    return window != nullptr && calls.getForeground() == WindowOf(window);
}

INPUT win32::KeyInput(const KeyEvent& event) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    const DWORD release = event.release ? KEYEVENTF_KEYUP : 0;
    if (event.virtualKey >= '0' && event.virtualKey <= '9') {
        // A digit is typed as its character: on the digit row of some
        // layouts (AZERTY) the virtual key types '&', 'e-acute' ... instead.
        input.ki.wVk = 0;
        input.ki.wScan = event.virtualKey;
        input.ki.dwFlags = KEYEVENTF_UNICODE | release;
    } else {
        input.ki.wVk = event.virtualKey;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(event.virtualKey, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = release;
    }
    return input;
}

bool SendKeyEvents(const std::vector<KeyEvent>& events) {
    if (events.empty()) return true;
    std::vector<INPUT> inputs;
    for (const KeyEvent& event : events) inputs.push_back(win32::KeyInput(event));
    const UINT count = static_cast<UINT>(inputs.size());
    return win32::Input().sendInput(count, inputs.data(), sizeof(INPUT)) == count;
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
