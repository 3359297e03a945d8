#include "platform/posix/host/viewer_tmux.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

extern char** environ;

namespace platform::posix {

namespace {

// A tmux client answers within milliseconds; one that hangs is ended.
constexpr auto kTmuxDeadline = std::chrono::seconds(10);

/// Spawns tmux with stdin and stderr on /dev/null and stdout on `outputFd`
/// (or /dev/null when negative). Returns the pid or -1.
pid_t SpawnTmux(const std::vector<std::string>& args, int outputFd, int unusedFd) {
    std::vector<char*> argv;
    std::string program = "tmux";
    std::string socketFlag = "-L";
    std::string socket = ViewerTmuxSocket();
    argv.push_back(program.data());
    argv.push_back(socketFlag.data());
    argv.push_back(socket.data());
    std::vector<std::string> copies(args);
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (outputFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (unusedFd >= 0) posix_spawn_file_actions_addclose(&actions, unusedFd);

    pid_t pid = -1;
    const int error = posix_spawnp(&pid, "tmux", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
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
        const pid_t pid = SpawnTmux(args, -1, -1);
        return pid > 0 && WaitForSuccess(pid, deadline);
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    const pid_t pid = SpawnTmux(args, fds[1], fds[0]);
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
