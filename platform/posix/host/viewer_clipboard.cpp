#include "platform/posix/host/viewer_clipboard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/viewer_host.h"

namespace platform::posix {

namespace {

bool IsFolder(const char* path) {
    struct stat info {};
    return path != nullptr && *path != '\0' && stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string ViewerDirOverride() {
    const char* folder = std::getenv("SSDTEST_VIEWER_DIR");
    return (folder != nullptr) ? folder : "";
}

std::string ClipboardFilePath() {
    std::string folder = ViewerDirOverride();
    if (folder.empty()) {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        folder = IsFolder(runtime) ? runtime : "/tmp";
    }
    return folder + "/ssdtest-clipboard-" + std::to_string(getuid()) + ".txt";
}

bool WriteClipboardText(const std::string& text) {
    // Write a private temporary file and rename it over the clipboard, so a
    // reader sees the old text or the new one, never a part.
    const std::string target = ClipboardFilePath();
    std::string temporary = target + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, text);
    const bool closed = close(fd) == 0;
    if (!written || !closed || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::string ConsoleCopyText(const std::string& screen) {
    std::string copy;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(screen.find('\n', start), screen.size());
        std::size_t last = end;
        while (last > start &&
               (screen[last - 1] == ' ' || screen[last - 1] == '\t' || screen[last - 1] == '\r'))
            --last;
        copy.append(screen, start, last - start);
        if (end == screen.size()) return copy;
        copy += "\r\n";
        start = end + 1;
    }
}

}  // namespace platform::posix

namespace platform {

ClipboardRead ReadClipboardText(std::string* text) {
    const int fd = open(posix::ClipboardFilePath().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return ClipboardRead::Unavailable;
    // Only a clipboard the user wrote counts: another user's file in a shared
    // folder is not ours to read.
    struct stat info {};
    if (fstat(fd, &info) != 0 || info.st_uid != getuid() || !S_ISREG(info.st_mode)) {
        close(fd);
        return ClipboardRead::Unavailable;
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return ClipboardRead::NoHandle;
        }
        if (n == 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    // Text ends at its first NUL, as a text clipboard format does.
    const std::size_t end = content.find('\0');
    if (end != std::string::npos) content.resize(end);
    *text = content;
    return ClipboardRead::Text;
}

}  // namespace platform
