// Keyboard on a Windows console, or on a redirected standard input (pipe or
// file) when the program is driven by a script. Standard input is made
// unbuffered, so input the prompts have not consumed stays with the system,
// where the key poll can see it.
#include "platform/console.h"

#include <conio.h>
#include <windows.h>

#include <cstdio>
#include <iostream>

namespace platform {
namespace {

enum class InputKind { Console, Pipe, File, Other };

int pendingKey = -1;  // a byte taken from redirected input by KeyWaiting
bool inputEnded = false;

InputKind StandardInputKind() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return InputKind::Other;
    switch (GetFileType(input)) {
        case FILE_TYPE_CHAR: {
            DWORD mode = 0;
            return GetConsoleMode(input, &mode) ? InputKind::Console : InputKind::Other;
        }
        case FILE_TYPE_PIPE:
            return InputKind::Pipe;
        case FILE_TYPE_DISK:
            return InputKind::File;
        default:
            return InputKind::Other;
    }
}

// True when a read of redirected input would not block: data is there, or
// the input has ended (the read then reports the end at once).
bool RedirectedReadReady(InputKind kind) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (kind == InputKind::Pipe) {
        DWORD available = 0;
        // The peek fails once the writer has gone; the read then reports the end.
        if (!PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr)) return true;
        return available > 0;
    }
    return true;  // files, the null device and the like never block
}

int ReadRedirectedByte() {
    const int byte = std::getc(stdin);
    if (byte == EOF) {
        inputEnded = true;
        return -1;
    }
    return byte;
}

}  // namespace

void InitConsole() {
    // Unbuffered: the C++ prompts read through stdin byte by byte, and keys
    // they leave behind stay where the key poll looks for them.
    std::setvbuf(stdin, nullptr, _IONBF, 0);
}

void EnterKeyMode() {}  // the console functions already read single keys
void LeaveKeyMode() {}

bool KeyWaiting() {
    const InputKind kind = StandardInputKind();
    if (kind == InputKind::Console) return _kbhit() != 0;
    if (pendingKey >= 0) return true;
    if (inputEnded || !RedirectedReadReady(kind)) return false;
    pendingKey = ReadRedirectedByte();
    return pendingKey >= 0;
}

int ReadKey() {
    if (pendingKey >= 0) {
        const int key = pendingKey;
        pendingKey = -1;
        return key;
    }
    if (StandardInputKind() == InputKind::Console) return _getch();
    if (inputEnded) return -1;
    return ReadRedirectedByte();
}

bool InputEnded() {
    if (StandardInputKind() == InputKind::Console) return false;  // a key can always come
    if (pendingKey >= 0) return false;
    if (!inputEnded && std::feof(stdin)) inputEnded = true;  // the prompts met the end
    if (!inputEnded && RedirectedReadReady(StandardInputKind())) KeyWaiting();
    return inputEnded && pendingKey < 0;
}

void SleepMs(std::uint32_t milliseconds) { Sleep(milliseconds); }

void WriteWide(const std::wstring& text) {
    std::cout.flush();
    std::wcout << text << std::flush;
}

}  // namespace platform
