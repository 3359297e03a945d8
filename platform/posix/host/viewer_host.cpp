// The viewer's console on posix: a detached session of a private tmux server.
// The pane's title is the viewer's path; key events become the bytes they type
// into the pane, and the console's "select all, copy" puts the pane's visible
// text on the clipboard file. Closing the window hangs up the pane's terminal.
#include "platform/viewer_host.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/posix/host/text.h"
#include "platform/posix/host/viewer_clipboard.h"
#include "platform/posix/host/viewer_keys.h"
#include "platform/posix/host/viewer_tmux.h"

extern char** environ;

namespace platform {

struct ViewerProcess {
    pid_t pid = 0;
    unsigned long long startTime = 0;  // tells the process from a later one with its pid
};

struct ConsoleWindow {
    std::string pane;    // tmux pane id "%N" and the pane's pid: ids start again
                         // with every new server, the pair does not repeat soon
    std::string paneId;  // the pane id alone, the target of tmux commands
    posix::ConsoleKeyTranslator keys;
};

namespace {

constexpr const char* kConsoleColumns = "100";
constexpr const char* kConsoleRows = "30";
constexpr auto kProcessPollInterval = std::chrono::milliseconds(20);

// Windows found so far (owned here, like the system's window handles) and the
// one that receives key events.
std::vector<std::unique_ptr<ConsoleWindow>>& KnownWindows() {
    static std::vector<std::unique_ptr<ConsoleWindow>> windows;
    return windows;
}
ConsoleWindow* foregroundWindow = nullptr;

/// The window of a pane given as "<pane id> <pane pid>".
ConsoleWindow* WindowForPane(const std::string& pane) {
    for (const auto& window : KnownWindows()) {
        if (window->pane == pane) return window.get();
    }
    auto window = std::make_unique<ConsoleWindow>();
    window->pane = pane;
    window->paneId = pane.substr(0, pane.find(' '));
    KnownWindows().push_back(std::move(window));
    return KnownWindows().back().get();
}

enum class ProcessState { Running, Ended };

/// Reads the state and start time of a process from /proc; a zombie counts
/// as ended.
ProcessState ReadProcessState(pid_t pid, unsigned long long* startTime) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return ProcessState::Ended;
    // The command name (field 2) may hold blanks and parentheses; the fields
    // after its last ')' are plain.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) return ProcessState::Ended;
    std::istringstream fields(line.substr(close + 1));
    std::string state;
    fields >> state;
    std::string skipped;
    for (int field = 4; field < 22; ++field) fields >> skipped;
    unsigned long long start = 0;
    fields >> start;
    if (startTime != nullptr) *startTime = start;
    return (state == "Z" || state == "X") ? ProcessState::Ended : ProcessState::Running;
}

bool IsRunning(const ViewerProcess* process) {
    unsigned long long start = 0;
    return ReadProcessState(process->pid, &start) == ProcessState::Running &&
           start == process->startTime;
}

/// The command that runs the viewer in the pane: `env` with every variable of
/// the tester's environment (so the viewer sees them even when the tmux server
/// was started by another process), then `nice -n 0 -- <path>`, which runs the
/// path in its place whatever characters it holds. With more than one word
/// tmux starts the command itself, never through a shell.
void AddViewerCommand(const std::string& path, std::vector<std::string>* args) {
    args->push_back("env");
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        const std::string name = variable.substr(0, variable.find('='));
        if (name.empty() || name == variable || name[0] == '-') continue;
        // The pane's terminal variables are tmux's own.
        if (name == "TERM" || name == "TMUX" || name == "TMUX_PANE" || name == "COLUMNS" ||
            name == "LINES")
            continue;
        args->push_back(variable);
    }
    for (const char* word : {"nice", "-n", "0", "--"}) args->push_back(word);
    args->push_back(path);
}

std::string CurrentFolder() {
    std::string folder(4096, '\0');
    while (getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE) return ".";
        folder.resize(folder.size() * 2);
    }
    folder.resize(folder.find('\0'));
    return folder;
}

void TypeIntoPane(const ConsoleWindow& window, const std::string& bytes) {
    // Sent as hexadecimal byte values, so no byte is read as a key name.
    std::vector<std::string> args = {"send-keys", "-t", window.paneId, "-H"};
    for (const char byte : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(byte));
        args.emplace_back(hex);
    }
    posix::RunTmux(args);
}

void CopyPaneScreen(const ConsoleWindow& window) {
    std::string screen;
    if (posix::RunTmux({"capture-pane", "-p", "-t", window.paneId}, &screen)) {
        if (!screen.empty() && screen.back() == '\n') screen.pop_back();
        posix::WriteClipboardText(posix::ConsoleCopyText(screen));
    }
}

}  // namespace

ViewerProcess* StartInNewConsole(const std::wstring& programPath) {
    static unsigned sessionCount = 0;
    const std::string path = posix::Narrow(programPath);
    const std::string session =
        "gaugelens-" + std::to_string(getpid()) + "-" + std::to_string(++sessionCount);

    std::vector<std::string> args = {
        "new-session",   "-d", "-P",         "-F", "#{pane_id} #{pane_pid}", "-s", session, "-x",
        kConsoleColumns, "-y", kConsoleRows, "-c", CurrentFolder()};
    AddViewerCommand(path, &args);

    std::string created;
    if (!posix::RunTmux(args, &created)) return nullptr;
    std::istringstream fields(created);
    std::string paneId;
    auto process = std::make_unique<ViewerProcess>();
    if (!(fields >> paneId >> process->pid) || process->pid <= 0) return nullptr;
    ReadProcessState(process->pid, &process->startTime);

    // The pane's title is what FindConsoleWindow looks for; keep the pane's
    // size even if someone attaches to the session.
    posix::RunTmux({"select-pane", "-t", paneId, "-T", path});
    posix::RunTmux({"set-option", "-t", "=" + session, "status", "off"});
    return process.release();
}

ConsoleWindow* FindConsoleWindow(const std::wstring& title) {
    std::string panes;
    if (!posix::RunTmux({"list-panes", "-a", "-F", "#{pane_id} #{pane_pid}\t#{pane_title}"},
                        &panes))
        return nullptr;
    const std::string wanted = posix::Narrow(title);
    std::istringstream lines(panes);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos && line.compare(tab + 1, std::string::npos, wanted) == 0)
            return WindowForPane(line.substr(0, tab));
    }
    return nullptr;
}

bool BringToForeground(ConsoleWindow* window) {
    if (window != nullptr) foregroundWindow = window;
    return window != nullptr;
}

bool SendKeyEvents(const std::vector<KeyEvent>& events) {
    ConsoleWindow* window = foregroundWindow;
    if (window == nullptr) return false;
    std::vector<posix::ConsoleInput> inputs;
    for (const KeyEvent& event : events) window->keys.Feed(event, &inputs);
    for (const posix::ConsoleInput& input : inputs) {
        if (input.kind == posix::ConsoleInput::Kind::CopyScreen) {
            CopyPaneScreen(*window);
        } else {
            TypeIntoPane(*window, input.bytes);
        }
    }
    return true;
}

void PostClose(ConsoleWindow* window) {
    if (window == nullptr) return;
    // Only the same pane: once a pane is gone, a new server may give its id to
    // another viewer.
    std::string pane;
    if (!posix::RunTmux({"display-message", "-p", "-t", window->paneId, "#{pane_id} #{pane_pid}"},
                        &pane))
        return;
    if (!pane.empty() && pane.back() == '\n') pane.pop_back();
    // Killing the pane closes its terminal: the viewer gets a hang-up.
    if (pane == window->pane) posix::RunTmux({"kill-pane", "-t", window->paneId});
}

bool WaitProcessEnd(ViewerProcess* process, std::uint32_t timeoutMs) {
    if (process == nullptr) return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (!IsRunning(process)) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        const auto pause =
            std::min<std::chrono::steady_clock::duration>(kProcessPollInterval, deadline - now);
        usleep(static_cast<useconds_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(pause).count()));
    }
}

void TerminateViewer(ViewerProcess* process) {
    if (process != nullptr && IsRunning(process)) kill(process->pid, SIGKILL);
}

void CloseViewerProcess(ViewerProcess* process) { delete process; }

}  // namespace platform
