// Console service: the operator's keyboard and wide text output.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

/// Prepares the console once at start-up (stream modes, signal handling).
void InitConsole();

/// Switches the keyboard to single-key mode (no echo, no line editing) for
/// as long as keys are polled; LeaveKeyMode restores the operator's settings.
/// Both are safe to call repeatedly; the settings are restored at exit and on
/// fatal signals too.
void EnterKeyMode();
void LeaveKeyMode();

/// True when a key is waiting; never blocks and never consumes the key.
bool KeyWaiting();

/// Reads one key without echo, waiting if needed. Returns -1 when the input
/// has ended.
int ReadKey();

/// True once the console input has ended (end of file): no key will come.
bool InputEnded();

/// True when standard input is the operator's terminal (a console), false for
/// a pipe, a file or the null device.
bool InputIsTerminal();

/// While `catching` is true, a request to end the program (SIGINT, SIGTERM or
/// SIGHUP; Ctrl+C, Ctrl+Break or closing the console on Windows) no longer
/// ends it but is noted for StopRequest; a second one ends the program as
/// usual. With false (the default) every request ends the program at once.
void CatchStopRequests(bool catching);

/// The name of the first stop request noted while catching ("SIGTERM",
/// "Ctrl+C", ...); empty when none came. The note stays until the next
/// CatchStopRequests(true).
std::string StopRequest();

/// Sleeps for `milliseconds`.
void SleepMs(std::uint32_t milliseconds);

/// Writes wide text to the console after everything written so far on the
/// narrow stream, and flushes it.
void WriteWide(const std::wstring& text);

}  // namespace platform
