#include "platform/win32/shutdown_watch.h"

#include <windows.h>

#include <string>
#include <thread>

namespace platform {
namespace win32 {
namespace {

// How long the end of a session is held for the records: the system ends a
// program that takes longer anyway, a few seconds after its own time-out.
constexpr DWORD kRecordsWaitMs = 60000;

struct Watch {
    std::thread thread;
    HWND window = nullptr;
    HANDLE recordsWritten = nullptr;  // manual-reset event
    std::wstring reason;
};

Watch* watch = nullptr;

LRESULT CALLBACK OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_QUERYENDSESSION:
            if (watch == nullptr || WaitForSingleObject(watch->recordsWritten, 0) == WAIT_OBJECT_0)
                return TRUE;
            // The test stops after its current block and writes its records;
            // until then the system shows why it waits.
            ShutdownBlockReasonCreate(window, watch->reason.c_str());
            NoteSessionEnding();
            return FALSE;
        case WM_ENDSESSION:
            if (wParam != FALSE && watch != nullptr)
                WaitForSingleObject(watch->recordsWritten, kRecordsWaitMs);
            else
                ShutdownBlockReasonDestroy(window);  // the session goes on
            return 0;
        case WM_DESTROY:
            ShutdownBlockReasonDestroy(window);
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

void RunWindow(Watch* running, HANDLE created) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = OnMessage;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kShutdownWindowClass;
    RegisterClassW(&windowClass);  // fails harmlessly when registered before
    // Top-level and never shown: a message-only window hears no broadcasts.
    running->window = CreateWindowExW(0, kShutdownWindowClass, L"ssdtest", WS_OVERLAPPED, 0, 0, 0,
                                      0, nullptr, nullptr, windowClass.hInstance, nullptr);
    SetEvent(created);
    if (running->window == nullptr) return;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

void StartShutdownWatch(platform::DriveNumber driveNumber) {
    if (watch != nullptr) return;
    auto* started = new Watch;
    started->reason =
        L"ssdtest: finishing the current batch on drive " + std::to_wstring(driveNumber);
    started->recordsWritten = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (started->recordsWritten == nullptr || created == nullptr) {
        if (started->recordsWritten != nullptr) CloseHandle(started->recordsWritten);
        if (created != nullptr) CloseHandle(created);
        delete started;
        return;
    }
    watch = started;
    started->thread = std::thread(RunWindow, started, created);
    WaitForSingleObject(created, INFINITE);
    CloseHandle(created);
}

void StopShutdownWatch() {
    if (watch == nullptr) return;
    SetEvent(watch->recordsWritten);
    if (watch->window != nullptr) PostMessageW(watch->window, WM_CLOSE, 0, 0);
    watch->thread.join();
    CloseHandle(watch->recordsWritten);
    delete watch;
    watch = nullptr;
}

}  // namespace win32
}  // namespace platform
