#include "engine/guarded_drives.h"

#include <stdexcept>

#include "engine/drive_refusal.h"

std::unique_ptr<platform::Drive> GuardedDrives::Open(platform::DriveNumber driveNumber,
                                                     std::uint32_t* errorCode) {
    RefuseGuardedDrive(inner_.CheckBeforeWrite(driveNumber));
    return inner_.Open(driveNumber, errorCode);
}

void RefuseGuardedDrive(const platform::DiskGuardResult& guard) {
    if (!guard.refused) return;
    // A drive that does not answer is a failure, not a refusal of its contents.
    if (guard.noAnswer) throw std::runtime_error(guard.reason);
    throw DriveRefusal(guard.partitionTable ? "Drive contains partitions" : "CreateFile failed",
                       guard.reason);
}

platform::DriveSource& GuardedSystemDrives() {
    static GuardedDrives drives(platform::SystemDrives());
    return drives;
}
