#include "engine/guarded_drives.h"

#include "platform/disk_guard.h"

platform::DiskGuardResult GuardedDrives::CheckBeforeWrite(std::uint32_t driveNumber) {
    platform::DiskGuardResult inner = inner_.CheckBeforeWrite(driveNumber);
    if (inner.refused) return inner;
    return platform::CheckDiskBeforeWrite(driveNumber);
}

platform::DriveSource& GuardedSystemDrives() {
    static GuardedDrives drives(platform::SystemDrives());
    return drives;
}
