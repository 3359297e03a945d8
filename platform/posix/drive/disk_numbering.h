// The drive numbers of this process: one numbering of the machine's disks,
// shared by the disk list, the raw drive and the device control services, so
// that drive N means the same device to all of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/drive_number.h"
#include "platform/posix/drive/sysfs_disks.h"

namespace platform::posix {

/// Reads the disks again and keeps their numbering for the other services.
/// nullopt (the kept numbering unchanged) when /sys/block cannot be read.
std::optional<std::vector<NumberedDisk>> RefreshDiskNumbering();

/// Kernel name of drive `driveNumber` in the kept numbering, which is read on
/// first use; empty when no disk has that number.
std::string DiskNameOf(platform::DriveNumber driveNumber);

}  // namespace platform::posix
