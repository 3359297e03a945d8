// Finding the viewer's console window and typing into it only while it is in
// front. A window of the console's class stands in for the viewer's console.
#include <windows.h>

#include <map>
#include <utility>
#include <vector>

#include "engine/test_context.h"
#include "platform/viewer_host.h"
#include "platform/win32/input_seam.h"
#include "tests/platform/win32/check.h"
#include "viewer/gauge_lens.h"

namespace {

const std::wstring kViewerPath = L"C:\\Program Files\\Bench Tools\\GaugeLens_2_21.exe";

// A top-level window of the console window class with the given title.
class StandInConsole {
public:
    explicit StandInConsole(const std::wstring& title) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"ConsoleWindowClass";
        RegisterClassW(&windowClass);  // fails harmlessly when registered before
        window_ = CreateWindowExW(0, L"ConsoleWindowClass", title.c_str(), WS_OVERLAPPEDWINDOW, 0,
                                  0, 100, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
    }
    ~StandInConsole() { DestroyWindow(window_); }
    StandInConsole(const StandInConsole&) = delete;
    StandInConsole& operator=(const StandInConsole&) = delete;
    HWND window() const { return window_; }

private:
    HWND window_;
};

// The system as the checks play it: which window is in front, and how many
// key events reach it.
HWND front = nullptr;
bool refuseForeground = false;
UINT eventsAccepted = 0;  // per call; 0 takes them all
std::vector<UINT> sentBatches;
std::vector<INPUT> sentInputs;

BOOL WINAPI PlaySetForeground(HWND window) {
    if (!refuseForeground) front = window;
    return refuseForeground ? FALSE : TRUE;
}
HWND WINAPI PlayGetForeground() { return front; }
UINT WINAPI PlaySendInput(UINT count, LPINPUT inputs, int) {
    sentBatches.push_back(count);
    sentInputs.insert(sentInputs.end(), inputs, inputs + count);
    return eventsAccepted == 0 ? count : eventsAccepted;
}

// Sends the viewer's keys with the played system; restores the real one.
bool SendKeysPlayed(HWND window, HWND otherFront, bool refuse, UINT accepted) {
    platform::win32::InputCalls& calls = platform::win32::Input();
    const platform::win32::InputCalls real = calls;
    calls.setForeground = PlaySetForeground;
    calls.getForeground = PlayGetForeground;
    calls.sendInput = PlaySendInput;
    front = otherFront;
    refuseForeground = refuse;
    eventsAccepted = accepted;
    sentBatches.clear();
    sentInputs.clear();
    CSSDTest test;
    test.driveNumber = 3;
    test.timings.keyMenuDelayMs = 0;
    test.timings.keySelectDelayMs = 0;
    const bool sent = SendGaugeLensKeys(reinterpret_cast<platform::ConsoleWindow*>(window), test);
    calls = real;
    return sent;
}

}  // namespace

CHECK_CASE(ViewerWindowIsFoundBehindAnAdministratorPrefix) {
    const StandInConsole elevated(L"Administrator: " + kViewerPath);
    EXPECT_TRUE(elevated.window() != nullptr);
    EXPECT_TRUE(platform::FindConsoleWindow(kViewerPath) ==
                reinterpret_cast<platform::ConsoleWindow*>(elevated.window()));

    using platform::win32::TitleNamesWindow;
    EXPECT_TRUE(TitleNamesWindow(kViewerPath, kViewerPath));
    EXPECT_TRUE(TitleNamesWindow(L"Administrador: " + kViewerPath, kViewerPath));
    EXPECT_TRUE(!TitleNamesWindow(L"X" + kViewerPath, kViewerPath));
    EXPECT_TRUE(!TitleNamesWindow(kViewerPath + L" - old", kViewerPath));
    EXPECT_TRUE(!TitleNamesWindow(L"GaugeLens_2_21.exe", kViewerPath));
}

CHECK_CASE(KeysGoOnlyToTheViewerInFrontAndAllOfThemOrTheAttemptFails) {
    const StandInConsole viewer(L"Administrator: " + kViewerPath);
    const HWND elsewhere = reinterpret_cast<HWND>(0x1234);
    // Brought to front: four batches, every event sent.
    EXPECT_TRUE(SendKeysPlayed(viewer.window(), elsewhere, false, 0));
    EXPECT_EQ(static_cast<std::size_t>(4), sentBatches.size());
    // Refused (the operator works elsewhere): not one key is sent.
    EXPECT_TRUE(!SendKeysPlayed(viewer.window(), elsewhere, true, 0));
    EXPECT_TRUE(sentBatches.empty());
    // The system took only part of a batch: nothing after it.
    EXPECT_TRUE(!SendKeysPlayed(viewer.window(), elsewhere, false, 1));
    EXPECT_EQ(static_cast<std::size_t>(1), sentBatches.size());
}

CHECK_CASE(DigitsAreTypedAsCharactersAndEveryKeyPressedIsReleased) {
    const StandInConsole viewer(L"Administrator: " + kViewerPath);
    EXPECT_TRUE(SendKeysPlayed(viewer.window(), viewer.window(), false, 0));
    std::map<std::pair<WORD, WORD>, int> held;  // (virtual key, character) -> presses
    std::wstring typed;
    for (const INPUT& input : sentInputs) {
        const bool unicode = (input.ki.dwFlags & KEYEVENTF_UNICODE) != 0;
        const bool release = (input.ki.dwFlags & KEYEVENTF_KEYUP) != 0;
        // No digit goes as a virtual key of the digit row.
        EXPECT_TRUE(unicode || input.ki.wVk < '0' || input.ki.wVk > '9');
        if (unicode && !release) typed += static_cast<wchar_t>(input.ki.wScan);
        held[{input.ki.wVk, unicode ? input.ki.wScan : WORD{0}}] += release ? -1 : 1;
    }
    EXPECT_TRUE(typed == L"32340");  // drive 3, the menu answers 2, 3, 4 and 0
    for (const auto& key : held) EXPECT_EQ(0, key.second);
}
