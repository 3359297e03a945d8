#include "platform/posix/probe/block_device_probe.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/probe/probe_steps.h"

namespace platform::posix {
namespace {

DiskGuardResult Refuse(std::string reason, bool partitionTable = false) {
    DiskGuardResult result;
    result.refused = true;
    result.partitionTable = partitionTable;
    result.reason = std::move(reason);
    return result;
}

std::string WipeHint(const std::string& path) {
    return " (wipe it first, e.g. wipefs -a " + path + ")";
}

/// 1 when the device is read-only, 0 when writable, -1 with errno set when
/// the flag cannot be read.
int ReadOnlyFlag(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    int readOnly = 0;
    const int rc = ::ioctl(fd, BLKROGET, &readOnly);
    const int error = errno;
    ::close(fd);
    errno = error;
    if (rc != 0) return -1;
    return readOnly != 0 ? 1 : 0;
}

}  // namespace

DiskGuardResult ProbeBlockDevice(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return Refuse("cannot probe " + path + ": " + std::strerror(errno));
    if (!S_ISBLK(info.st_mode)) return Refuse(path + " is not a block device");
    const dev_t device = info.st_rdev;

    std::string found = FindMountOrSwap(path, device);
    if (!found.empty()) return Refuse(path + " is " + found);
    found = ListHolders(device);
    if (!found.empty()) return Refuse(path + " is held by " + found);
    found = FindOtherOpener(device);
    if (!found.empty()) return Refuse(path + " is open in process " + found);
    found = ListPartitions(device);
    if (!found.empty()) return Refuse(path + " has partitions " + found + WipeHint(path), true);

    bool partitionTable = false;
    if (const int error = FindSignature(path, &found, &partitionTable))
        return Refuse("cannot probe " + path + ": " + std::strerror(error));
    if (!found.empty()) return Refuse(found + " on " + path + WipeHint(path), partitionTable);

    const int readOnly = ReadOnlyFlag(path);
    if (readOnly < 0) return Refuse("cannot probe " + path + ": " + std::strerror(errno));
    if (readOnly == 1) return Refuse(path + " is read-only");
    return DiskGuardResult{};
}

}  // namespace platform::posix
