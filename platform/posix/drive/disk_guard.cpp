// Disk guard of the real Linux backend: the block device of the drive number.
#include "platform/disk_guard.h"

#include "platform/posix/drive/disk_numbering.h"
#include "platform/posix/probe/block_device_probe.h"

namespace platform {

DiskGuardResult CheckDiskBeforeWrite(platform::DriveNumber driveNumber) {
    const std::string name = posix::DiskNameOf(driveNumber);
    if (name.empty()) return DiskGuardResult{};  // no such disk: opening it fails
    return posix::ProbeBlockDevice("/dev/" + name);
}

}  // namespace platform
