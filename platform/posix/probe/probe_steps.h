// The single checks of the block device probe. Each returns a one-line finding
// about the device, or an empty text when it found nothing.
#pragma once

#include <sys/types.h>

#include <string>

namespace platform::posix {

/// What libblkid finds on the whole device: the first partition table (a GPT
/// also by its backup header), else the first file system, RAID, LVM, swap or
/// crypto signature, in *finding ("ext4 signature", "gpt partition table";
/// empty when blank). *partitionTable tells which of the two it was. Returns
/// 0, or an errno value when the device cannot be probed.
int FindSignature(const std::string& path, std::string* finding, bool* partitionTable);

/// Partitions of the device listed in sysfs, e.g. "loop3p1 loop3p2".
std::string ListPartitions(dev_t device);

/// Holders of the device in sysfs (device mapper, RAID), e.g. "dm-0".
std::string ListHolders(dev_t device);

/// Where the device is mounted or used as active swap.
std::string FindMountOrSwap(const std::string& path, dev_t device);

/// Another process that has the device open, as "1234 (sleep)": every open
/// file of every process in /proc is compared with the device number.
std::string FindOtherOpener(dev_t device);

}  // namespace platform::posix
