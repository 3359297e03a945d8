// The number of partitions the kernel knows on a disk, from sysfs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::posix {

/// Counts the partitions listed in a disk's sysfs folder (subfolders that
/// hold a `partition` file). -1 when the folder cannot be read.
int CountPartitionsIn(const std::string& diskDir);

/// Counts the partitions of the block device major:minor through
/// /sys/dev/block. -1 when sysfs has no such device.
int CountPartitions(unsigned major, unsigned minor);

/// The partition type bytes of the four primary entries of a master boot
/// record (`sector` holds at least 512 bytes); empty when the sector carries
/// no boot signature. A GPT disk shows its protective entry (type 0xEE).
std::vector<std::uint8_t> MbrPartitionTypes(const std::uint8_t* sector);

}  // namespace platform::posix
