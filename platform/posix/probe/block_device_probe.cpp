#include "platform/posix/probe/block_device_probe.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/probe/bounded_call.h"
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

DiskGuardResult ProbeNow(const std::string& path);

// The result as the bounded child hands it back: two flag bytes, the reason.
std::string Encode(const DiskGuardResult& result) {
    return std::string(result.refused ? "R" : "-") + (result.partitionTable ? "P" : "-") +
           result.reason;
}

DiskGuardResult Decode(const std::string& text) {
    DiskGuardResult result;
    if (text.size() < 2) return Refuse("the probe gave no result");
    result.refused = text[0] == 'R';
    result.partitionTable = text[1] == 'P';
    result.reason = text.substr(2);
    return result;
}

DiskGuardResult NoAnswer(std::string reason) {
    DiskGuardResult result = Refuse(std::move(reason));
    result.noAnswer = true;
    return result;
}

}  // namespace

DiskGuardResult ProbeBlockDevice(const std::string& path) {
    // A hung disk blocks the signature read in the kernel for good: the probe
    // runs in a child this process can leave behind.
    const int timeoutMs = ProbeTimeoutMs();
    std::string answer;
    switch (RunBounded([&path] { return Encode(ProbeNow(path)); }, timeoutMs, &answer)) {
        case BoundedEnd::Answered:
            return Decode(answer);
        case BoundedEnd::NoAnswer:
            return NoAnswer(path + " does not answer: no answer within " +
                            std::to_string((timeoutMs + 999) / 1000) + " s");
        case BoundedEnd::Stopped:
            return NoAnswer("stopped while waiting for " + path + " to answer");
        case BoundedEnd::NotStarted:
            break;
    }
    return Refuse("cannot probe " + path + ": " + std::strerror(errno));
}

namespace {

DiskGuardResult ProbeNow(const std::string& path) {
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

}  // namespace

}  // namespace platform::posix
