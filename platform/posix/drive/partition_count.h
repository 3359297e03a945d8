// The number of partitions the kernel knows on a disk, from sysfs.
#pragma once

#include <string>

namespace platform::posix {

/// Counts the partitions listed in a disk's sysfs folder (subfolders that
/// hold a `partition` file). -1 when the folder cannot be read.
int CountPartitionsIn(const std::string& diskDir);

/// Counts the partitions of the block device major:minor through
/// /sys/dev/block. -1 when sysfs has no such device.
int CountPartitions(unsigned major, unsigned minor);

}  // namespace platform::posix
