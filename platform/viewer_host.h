// Viewer host service: what the tester needs to start and operate the
// companion viewer in a console of its own and to collect its screen text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct NamedMutex;     // opaque
struct ViewerProcess;  // opaque
struct ConsoleWindow;  // opaque; a found window, owned by the host (no close needed)

/// Creates or opens the named mutex shared by all processes (not initially
/// owned). nullptr on failure.
NamedMutex* CreateNamedMutex(const std::wstring& name);

enum class MutexWait { Acquired, TimedOut, Abandoned, Failed };

/// Waits up to timeoutMs to own the mutex.
MutexWait WaitNamedMutex(NamedMutex* mutex, std::uint32_t timeoutMs);

/// Releases the mutex if owned and closes the handle; nullptr is ignored.
void ReleaseAndCloseMutex(NamedMutex* mutex);

/// Starts `programPath` without arguments in a new console whose title is the
/// path, in the tester's current directory and environment. nullptr when it
/// could not be started.
ViewerProcess* StartInNewConsole(const std::wstring& programPath);

/// Finds a running console window whose title is `title`, also behind a
/// prefix the system adds (an elevated console's "Administrator: "); nullptr
/// if none.
ConsoleWindow* FindConsoleWindow(const std::wstring& title);

/// Brings the window to the foreground (the target of SendKeyEvents). True
/// only when it is the foreground window afterwards.
bool BringToForeground(ConsoleWindow* window);

struct KeyEvent {
    std::uint16_t virtualKey;  ///< Windows virtual key code
    bool release;              ///< false: press, true: release
};

/// Sends the key events, in order, to the foreground window as one batch.
/// True when every event was sent.
bool SendKeyEvents(const std::vector<KeyEvent>& events);

/// Asks the window to close (WM_CLOSE or a hang-up); does not wait.
void PostClose(ConsoleWindow* window);

/// Waits up to timeoutMs for the process to end; true when it has ended.
bool WaitProcessEnd(ViewerProcess* process, std::uint32_t timeoutMs);

/// Ends the process forcibly.
void TerminateViewer(ViewerProcess* process);

/// Releases the process handle; nullptr is ignored. The process is left alone.
void CloseViewerProcess(ViewerProcess* process);

enum class ClipboardRead {
    Text,         ///< *text holds the clipboard's text (without terminator)
    Unavailable,  ///< no text on the clipboard, or the clipboard cannot be opened
    NoHandle,     ///< text is announced but no data could be had
};

/// Reads the clipboard's text in the system's narrow text format.
ClipboardRead ReadClipboardText(std::string* text);

}  // namespace platform
