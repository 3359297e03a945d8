// Exclusive advisory locks (flock) that keep two tests off one drive: a
// second process meets the lock at once and can tell who holds it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform::posix {

/// An exclusive flock on one file, held while the object lives.
class FileLock {
public:
    /// Locks `path` without waiting. nullptr with the errno value in
    /// *errorCode on failure: EWOULDBLOCK when another open of the file holds
    /// the lock (another process, or this one through another lock).
    static std::unique_ptr<FileLock> Take(const std::string& path, std::uint32_t* errorCode);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    explicit FileLock(int fd) : fd_(fd) {}
    int fd_;
};

/// "<pid> (<command>)" of another process holding a flock on `path`, as
/// /proc/locks tells; empty when none does (or the file does not exist).
std::string FileLockHolder(const std::string& path);

}  // namespace platform::posix
