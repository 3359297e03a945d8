// Disk list service of the lab: the drives of the bench file.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

#include "platform/disk_list.h"
#include "platform/lab/lab_bench.h"
#include "platform/posix/host/text.h"

namespace platform {
namespace {

/// The size a drive reports: the configured one, or less when its block device is smaller.
std::int64_t ListedSize(const lab::BenchDrive& drive) {
    if (drive.devicePath.empty()) return drive.sizeBytes;
    const int fd = ::open(drive.devicePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return drive.sizeBytes;
    std::uint64_t bytes = 0;
    const bool known = ::ioctl(fd, BLKGETSIZE64, &bytes) == 0;
    ::close(fd);
    if (!known) return drive.sizeBytes;
    const auto deviceBytes = static_cast<std::int64_t>(bytes);
    return drive.sizeBytes == 0 ? deviceBytes : std::min(drive.sizeBytes, deviceBytes);
}

}  // namespace

std::wstring DiskListFailureReason() { return posix::Widen(lab::LastLabError()); }

bool EnumerateDisks(std::vector<DiskRecord>* disks) {
    if (disks == nullptr) return false;
    lab::Bench bench;
    std::string error;
    if (!lab::LoadBench(&bench, &error)) {
        lab::NoteLabError(error);
        return false;
    }
    for (const lab::BenchDrive& drive : bench.drives) {
        DiskRecord record;
        record.Size = ListedSize(drive);
        record.Index = static_cast<std::int32_t>(drive.number);
        record.Model = posix::Widen(drive.model);
        record.SerialNumber = posix::Widen(drive.serial);
        record.SCSIPort = drive.scsiPort;
        record.SCSITargetId = drive.scsiTargetId;
        disks->push_back(std::move(record));
    }
    return true;
}

}  // namespace platform
