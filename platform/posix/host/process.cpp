#include "platform/process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/posix/host/text.h"

namespace platform {

std::wstring ProgramFolder() {
    char path[PATH_MAX + 1] = {};
    const ssize_t n = readlink("/proc/self/exe", path, PATH_MAX);
    if (n <= 0) return L".";
    std::string full(path, static_cast<std::size_t>(n));
    const std::size_t slash = full.find_last_of('/');
    if (slash == std::string::npos) return L".";
    if (slash == 0) return L"/";
    return posix::Widen(full.substr(0, slash));
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    if (folder.back() == L'/') return folder + name;
    return folder + L"/" + name;
}

std::wstring SharedFolder() {
    const char* home = std::getenv("HOME");
    const std::string base = (home != nullptr && *home != '\0') ? home : "/root";
    return posix::Widen(base + "/My Dropbox/Public");
}

bool PathExists(const std::wstring& path) {
    struct stat info {};
    return stat(NativePath(path).c_str(), &info) == 0;
}

namespace {

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) {
    const int in = open(NativePath(from).c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    // Copy to a temporary name first so readers of the target never see half a file.
    const std::string target = NativePath(to);
    const std::string temporary = target + ".copying";
    const int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        const int saved = errno;
        close(in);
        errno = saved;
        return false;
    }
    char buffer[65536];
    int failure = 0;  // the errno of the first step that failed
    for (;;) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failure = errno;
        if (n <= 0) break;
        if (!WriteAll(out, buffer, static_cast<std::size_t>(n))) {
            failure = errno;
            break;
        }
    }
    close(in);
    if (close(out) != 0 && failure == 0) failure = errno;
    if (failure == 0 && rename(temporary.c_str(), target.c_str()) != 0) failure = errno;
    if (failure != 0) {
        unlink(temporary.c_str());
        errno = failure;
    }
    return failure == 0;
}

bool MoveFileNoReplace(const std::wstring& from, const std::wstring& to) {
    const std::string source = NativePath(from);
    const std::string target = NativePath(to);
    // link() refuses an existing target atomically; fall back to a checked
    // rename where hard links are not possible (other file system).
    if (link(source.c_str(), target.c_str()) == 0) {
        unlink(source.c_str());
        return true;
    }
    if (errno == EEXIST) return false;
    struct stat info {};
    if (lstat(target.c_str(), &info) == 0) {
        errno = EEXIST;
        return false;
    }
    return rename(source.c_str(), target.c_str()) == 0;
}

std::wstring SystemErrorText(std::uint32_t code) {
    if (code == 0) return L"";
    const char* text = strerror(static_cast<int>(code));
    if (text == nullptr || std::strncmp(text, "Unknown error", 13) == 0) return L"";
    return posix::Widen(text);
}

std::uint32_t LastErrorCode() { return static_cast<std::uint32_t>(errno); }

// Linux has no mandatory sharing locks: a failure stays a failure.
bool IsBriefFileLock(std::uint32_t) { return false; }

std::string NativePath(const std::wstring& path) { return posix::Narrow(path); }

std::filesystem::path FilePath(const std::wstring& path) { return NativePath(path); }

std::FILE* OpenFile(const std::wstring& path, const char* mode) {
    return std::fopen(NativePath(path).c_str(), mode);
}

bool MoveFileReplacing(const std::wstring& from, const std::wstring& to) {
    return std::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

namespace {

// "2026-12-08T21:16:28.123+01:00": local time with its offset from UTC.
std::string LocalTimestamp() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char date[32] = {};
    char zone[16] = {};
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    std::strftime(zone, sizeof zone, "%z", &local);
    std::string offset = zone;
    if (offset.size() == 5) offset.insert(3, ":");
    char millis[24] = {};
    std::snprintf(millis, sizeof millis, ".%03ld", now.tv_nsec / 1000000L);
    return date + std::string(millis) + offset;
}

int SyslogPriority(TraceLevel level) {
    switch (level) {
        case TraceLevel::Info:
            return LOG_INFO;
        case TraceLevel::Warning:
            return LOG_WARNING;
        case TraceLevel::Error:
            return LOG_ERR;
        case TraceLevel::Debug:
            break;
    }
    return LOG_DEBUG;
}

}  // namespace

void TraceOutput(const std::string& text, TraceLevel level) {
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    const char* file = std::getenv("SSDTEST_TRACE");
    if (file != nullptr && *file != '\0') {
        const int fd = open(file, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd >= 0) {
            line = LocalTimestamp() + " " + line + "\n";
            WriteAll(fd, line.data(), line.size());
            close(fd);
        }
        return;
    }
    // The journal keeps the time, the identifier and the level of each note.
    static const bool opened = (openlog("ssdtest", LOG_PID, LOG_USER), true);
    (void)opened;
    syslog(SyslogPriority(level), "%s", line.c_str());
}

std::wstring PathFromArgument(const std::string& argument) { return posix::Widen(argument); }

}  // namespace platform
