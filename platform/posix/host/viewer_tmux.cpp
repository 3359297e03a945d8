#include "platform/posix/host/viewer_tmux.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace platform::posix {

namespace {

// A tmux client answers within milliseconds; one that hangs is ended.
constexpr auto kTmuxDeadline = std::chrono::seconds(10);

/// Closes every descriptor from `first` on; in a forked child, so only
/// async-signal-safe calls.
void CloseDescriptorsFrom(int first) {
#ifdef SYS_close_range
    if (syscall(SYS_close_range, first, ~0U, 0) == 0) return;
#endif
    const long limit = sysconf(_SC_OPEN_MAX);
    for (int fd = first; fd < (limit > 0 && limit < 65536 ? limit : 65536); ++fd) close(fd);
}

/// Starts tmux with stdin and stderr on /dev/null and stdout on `outputFd`
/// (or /dev/null when negative). Nothing else of the tester is passed on: the
/// tmux server outlives the tester and must not keep its files (the result
/// log, the drive, a test runner's pipes) open. Returns the pid or -1.
pid_t SpawnTmux(const std::vector<std::string>& args, int outputFd) {
    std::vector<std::string> words = {"tmux", "-L", ViewerTmuxSocket()};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null < 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        if (dup2(null, STDIN_FILENO) < 0 ||
            dup2(outputFd >= 0 ? outputFd : null, STDOUT_FILENO) < 0 ||
            dup2(null, STDERR_FILENO) < 0)
            _exit(127);
        CloseDescriptorsFrom(STDERR_FILENO + 1);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(null);
    return pid;
}

/// Reads the pipe until its end or the deadline.
void ReadOutput(int fd, std::chrono::steady_clock::time_point deadline, std::string* output) {
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return;
        pollfd ready{fd, POLLIN, 0};
        const int polled = poll(&ready, 1, static_cast<int>(left.count()));
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) return;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        output->append(buffer, static_cast<std::size_t>(n));
    }
}

/// Waits for the client's exit status; ends it at the deadline.
bool WaitForSuccess(pid_t pid, std::chrono::steady_clock::time_point deadline) {
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0 && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return false;
        }
        usleep(2000);
    }
}

}  // namespace

std::string ViewerTmuxSocket() {
    const char* name = std::getenv("SSDTEST_VIEWER_TMUX_SOCKET");
    return (name != nullptr && *name != '\0') ? name : "ssdtest-viewer";
}

bool RunTmux(const std::vector<std::string>& args, std::string* output) {
    const auto deadline = std::chrono::steady_clock::now() + kTmuxDeadline;
    if (output == nullptr) {
        const pid_t pid = SpawnTmux(args, -1);
        return pid > 0 && WaitForSuccess(pid, deadline);
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    const pid_t pid = SpawnTmux(args, fds[1]);
    close(fds[1]);
    if (pid <= 0) {
        close(fds[0]);
        return false;
    }
    output->clear();
    ReadOutput(fds[0], deadline, output);
    close(fds[0]);
    return WaitForSuccess(pid, deadline);
}

}  // namespace platform::posix
