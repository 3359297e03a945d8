#include "platform/posix/io/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace platform::posix {

std::unique_ptr<FileLock> FileLock::Take(const std::string& path, std::uint32_t* errorCode) {
    *errorCode = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *errorCode = static_cast<std::uint32_t>(errno);
        if (fd >= 0) ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileLock>(new FileLock(fd));
}

FileLock::~FileLock() { ::close(fd_); }  // closing the last descriptor releases the lock

std::string FileLockHolder(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::string();
    // /proc/locks: "1: FLOCK  ADVISORY  WRITE 1234 08:02:131 0 EOF", the
    // device as hexadecimal major:minor.
    char file[64];
    std::snprintf(file, sizeof file, "%02x:%02x:%llu", major(info.st_dev), minor(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, lockedFile;
        fields >> number >> kind >> mode >> access >> pid >> lockedFile;
        // This process's own locks do not keep it out (it shares them).
        if (kind != "FLOCK" || lockedFile != file || pid == std::to_string(::getpid())) continue;
        std::string command;
        std::getline(std::ifstream("/proc/" + pid + "/comm"), command);
        return command.empty() ? pid : pid + " (" + command + ")";
    }
    return std::string();
}

}  // namespace platform::posix
