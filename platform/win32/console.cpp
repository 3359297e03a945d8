// Keyboard on a Windows console, or on a redirected standard input (pipe or
// file) when the program is driven by a script.
//
// Redirected input is read straight from the system, byte by byte, as the
// posix backend does: a character the prompts' stream pushed back (the line
// end after an answer) is not taken for a key. A pipe cannot be polled
// everywhere (wine does not support peeking into a pipe), so a pipe is read
// by a helper thread, started with the first key poll, once the prompts are
// done with the input.
#include "platform/console.h"

#include <conio.h>
#include <windows.h>

#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <mutex>
#include <thread>

#include "platform/win32/shutdown_watch.h"

namespace platform {
namespace {

enum class InputKind { Console, Pipe, Other };

InputKind StandardInputKind() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return InputKind::Other;
    const DWORD type = GetFileType(input);
    DWORD mode = 0;
    if (type == FILE_TYPE_CHAR && GetConsoleMode(input, &mode)) return InputKind::Console;
    if (type == FILE_TYPE_PIPE) return InputKind::Pipe;
    return InputKind::Other;  // a file, the null device, or no input at all
}

// The kind of standard input never changes during the run.
InputKind Kind() {
    static const InputKind kind = StandardInputKind();
    return kind;
}

// One byte from standard input; -1 at its end (or when there is none).
int ReadInputByte() {
    unsigned char byte = 0;
    DWORD got = 0;
    if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &got, nullptr) || got != 1) return -1;
    return byte;
}

// Bytes of a piped input, collected by a helper thread.
class PipeReader {
public:
    void StartOnce() {
        std::call_once(started_, [this] { std::thread([this] { Run(); }).detach(); });
    }
    bool HasByte() {
        std::lock_guard<std::mutex> lock(mutex_);
        return !bytes_.empty();
    }
    bool Ended() {
        std::lock_guard<std::mutex> lock(mutex_);
        return ended_ && bytes_.empty();
    }
    // Waits for the next byte; -1 at the end of the input.
    int Take() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !bytes_.empty() || ended_; });
        if (bytes_.empty()) return -1;
        const int byte = bytes_.front();
        bytes_.pop_front();
        return byte;
    }

private:
    void Run() {
        for (;;) {
            const int byte = ReadInputByte();
            std::lock_guard<std::mutex> lock(mutex_);
            if (byte < 0) {
                ended_ = true;
                changed_.notify_all();
                return;
            }
            bytes_.push_back(byte);
            changed_.notify_all();
        }
    }

    std::once_flag started_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<int> bytes_;
    bool ended_ = false;
};

PipeReader& Pipe() {
    static PipeReader* reader = new PipeReader;  // outlives the detached thread
    return *reader;
}

// A file or the null device never blocks, so its next byte is taken at once
// and kept until ReadKey asks for it.
int pendingByte = -1;
bool otherEnded = false;

// The first stop request while catching (its console event + 1); 0 when
// none, -1 when not catching.
volatile LONG stopEvent = -1;
// The session ends (shutdown, restart, log-off), told by the window messages.
constexpr LONG kSessionEnding = 100;

// Notes the first Ctrl+C, Ctrl+Break or console close for the test loop's poll.
// A second request, or one outside a test, takes the default action (the
// process ends). Closing the console ends the process when this returns, so
// the handler gives the test a few seconds to write its records first.
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    if (InterlockedCompareExchange(&stopEvent, static_cast<LONG>(event) + 1, 0) != 0) return FALSE;
    if (event == CTRL_CLOSE_EVENT) Sleep(4500);
    return TRUE;
}

}  // namespace

void CatchStopRequests(bool catching) {
    static bool installed = false;
    if (!installed) installed = SetConsoleCtrlHandler(OnConsoleControl, TRUE) != 0;
    InterlockedExchange(&stopEvent, catching ? 0 : -1);
}

std::string StopRequest() {
    switch (stopEvent) {
        case CTRL_C_EVENT + 1:
            return "Ctrl+C";
        case CTRL_BREAK_EVENT + 1:
            return "Ctrl+Break";
        case CTRL_CLOSE_EVENT + 1:
            return "Console Closed";
        case kSessionEnding:
            return "Shutdown";
        default:
            return std::string();
    }
}

bool win32::NoteSessionEnding() {
    const LONG before = InterlockedCompareExchange(&stopEvent, kSessionEnding, 0);
    return before >= 0;
}

void InitConsole() {
    // Unbuffered: the prompts read through stdin byte by byte and leave the
    // rest of the input with the system, where the key poll finds it.
    std::setvbuf(stdin, nullptr, _IONBF, 0);
}

void EnterKeyMode() {}  // the console functions already read single keys
void LeaveKeyMode() {}

bool KeyWaiting() {
    switch (Kind()) {
        case InputKind::Console:
            return _kbhit() != 0;
        case InputKind::Pipe:
            Pipe().StartOnce();
            return Pipe().HasByte();
        case InputKind::Other:
            if (pendingByte < 0 && !otherEnded) {
                pendingByte = ReadInputByte();
                otherEnded = pendingByte < 0;
            }
            return pendingByte >= 0;
    }
    return false;
}

int ReadKey() {
    switch (Kind()) {
        case InputKind::Console:
            return _getch();
        case InputKind::Pipe:
            Pipe().StartOnce();
            return Pipe().Take();
        case InputKind::Other:
            if (KeyWaiting()) {
                const int byte = pendingByte;
                pendingByte = -1;
                return byte;
            }
            return -1;
    }
    return -1;
}

bool InputEnded() {
    switch (Kind()) {
        case InputKind::Console:
            return false;  // a key can always come
        case InputKind::Pipe:
            Pipe().StartOnce();
            return Pipe().Ended();
        case InputKind::Other:
            return !KeyWaiting() && otherEnded;
    }
    return false;
}

bool InputIsTerminal() { return Kind() == InputKind::Console; }

void SleepMs(std::uint32_t milliseconds) { Sleep(milliseconds); }

void WriteWide(const std::wstring& text) {
    std::cout.flush();
    // On a console the text goes in as UTF-16 and is shown in the console's
    // own code page, whatever the runtime's locale is.
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (output != nullptr && output != INVALID_HANDLE_VALUE && GetConsoleMode(output, &mode)) {
        std::wcout.flush();
        DWORD written = 0;
        if (WriteConsoleW(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
            return;
    }
    // Redirected: the runtime converts wide output with its current locale and
    // puts the stream in a failed state at the first character it cannot
    // convert, which would silence every later wide text. Such characters are
    // shown as '?'.
    std::wstring shown = text;
    char bytes[MB_LEN_MAX];
    for (wchar_t& character : shown) {
        if (std::wctomb(bytes, character) < 0) character = L'?';
    }
    std::wctomb(nullptr, 0);  // back to the initial shift state
    std::wcout << shown << std::flush;
    std::wcout.clear();
}

}  // namespace platform
