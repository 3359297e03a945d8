// Keyboard on a terminal or a pipe. Standard input is unbuffered, so a key
// the prompts have not consumed is still in the kernel where poll() sees it.
#include "platform/console.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>

#include "platform/posix/host/text.h"

namespace platform {
namespace {

termios savedTerminal{};
volatile std::sig_atomic_t keyModeActive = 0;
int pendingKey = -1;
bool inputEnded = false;

void RestoreTerminal() {
    if (keyModeActive) {
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
        keyModeActive = 0;
    }
}

void OnFatalSignal(int signal) {
    RestoreTerminal();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile std::sig_atomic_t stopSignal = 0;

// The first stop signal is noted for the test loop's poll; a second one ends
// the program as it would without catching.
void OnStopSignal(int signal) {
    if (stopSignal != 0) OnFatalSignal(signal);
    stopSignal = signal;
}

void InstallHandler(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // reads and waits carry on; the poll sees the note
    sigaction(signal, &action, nullptr);
}

// Reads one byte from standard input; -1 at end of input.
int ReadByte() {
    for (;;) {
        unsigned char byte = 0;
        const ssize_t n = read(STDIN_FILENO, &byte, 1);
        if (n == 1) return byte;
        if (n < 0 && errno == EINTR) continue;
        inputEnded = true;
        return -1;
    }
}

}  // namespace

void InitConsole() {
    std::setlocale(LC_CTYPE, "");
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    std::atexit(RestoreTerminal);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(signal, OnFatalSignal);
}

void CatchStopRequests(bool catching) {
    if (catching) stopSignal = 0;
    for (int signal : kStopSignals) InstallHandler(signal, catching ? OnStopSignal : OnFatalSignal);
}

std::string StopRequest() {
    switch (stopSignal) {
        case 0:
            return std::string();
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        default:
            return "SIGHUP";
    }
}

void EnterKeyMode() {
    if (keyModeActive || !isatty(STDIN_FILENO)) return;
    if (tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;
    termios raw = savedTerminal;
    // No echo, no line editing, and Ctrl+C arrives as a key that abandons the
    // test cleanly instead of killing the process. Output processing stays on.
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ISIG | IEXTEN));
    raw.c_iflag &= static_cast<tcflag_t>(~(IXON | ICRNL));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) keyModeActive = 1;
}

void LeaveKeyMode() { RestoreTerminal(); }

bool KeyWaiting() {
    if (pendingKey >= 0) return true;
    if (inputEnded) return false;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0) return false;
    if ((input.revents & (POLLIN | POLLHUP | POLLERR)) == 0) return false;
    pendingKey = ReadByte();  // -1 and inputEnded at end of input
    return pendingKey >= 0;
}

int ReadKey() {
    if (pendingKey >= 0) {
        const int key = pendingKey;
        pendingKey = -1;
        return key;
    }
    if (inputEnded) return -1;
    return ReadByte();
}

bool InputEnded() { return inputEnded && pendingKey < 0; }

bool InputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

void SleepMs(std::uint32_t milliseconds) {
    timespec wait{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

void WriteWide(const std::wstring& text) { std::cout << posix::Narrow(text) << std::flush; }

}  // namespace platform
