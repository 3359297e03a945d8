#include "platform/posix/probe/bounded_call.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "platform/console.h"

namespace platform::posix {

namespace {

constexpr int kDefaultProbeTimeoutMs = 30000;
constexpr int kStopCheckMs = 100;  // how often the wait looks for a stop request

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

// Ends the child and reaps it if it can go; one stuck in the kernel stays
// behind as a zombie of this process, which is harmless.
void Abandon(pid_t child) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, WNOHANG);
}

}  // namespace

BoundedEnd RunBounded(const std::function<std::string()>& call, int timeoutMs,
                      std::string* answer) {
    answer->clear();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return BoundedEnd::NotStarted;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return BoundedEnd::NotStarted;
    }
    if (child == 0) {
        ::close(fds[0]);
        // A child left behind on a hung disk must not hold the caller's
        // output open: a shell reading it would wait for the disk too.
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null >= 0)
            for (int fd = 0; fd <= 2; ++fd) ::dup2(null, fd);
        // The length first: a child that dies half way leaves no answer.
        const std::string text = call();
        WriteAll(fds[1], std::to_string(text.size()) + ":" + text);
        ::_exit(0);
    }
    ::close(fds[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string received;
    BoundedEnd end = BoundedEnd::NoAnswer;
    for (;;) {
        if (!StopRequest().empty()) {
            end = BoundedEnd::Stopped;
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd ready{fds[0], POLLIN, 0};
        const int wait = static_cast<int>(std::min<long long>(left.count(), kStopCheckMs));
        if (::poll(&ready, 1, wait) <= 0) continue;  // time-out slice or a signal
        char buffer[4096];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n > 0) {
            received.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        // End of the pipe: the child has finished.
        const std::size_t colon = received.find(':');
        if (colon != std::string::npos &&
            received.size() - colon - 1 == std::strtoull(received.c_str(), nullptr, 10)) {
            *answer = received.substr(colon + 1);
            end = BoundedEnd::Answered;
        }
        break;
    }
    ::close(fds[0]);
    if (end == BoundedEnd::Answered)
        ::waitpid(child, nullptr, 0);
    else
        Abandon(child);
    return end;
}

int ProbeTimeoutMs() {
    const char* text = std::getenv("SSDTEST_PROBE_TIMEOUT_MS");
    if (text == nullptr) return kDefaultProbeTimeoutMs;
    const long value = std::strtol(text, nullptr, 10);
    return value > 0 && value <= kDefaultProbeTimeoutMs ? static_cast<int>(value)
                                                        : kDefaultProbeTimeoutMs;
}

}  // namespace platform::posix
