// The whole-disk block devices of the machine, read from sysfs, and the drive
// numbers they get.
//
// A disk is an entry of /sys/block that is not hidden, has a size above 0 and
// either a `device` link (a real controller behind it: SCSI/SATA, NVMe,
// virtio, MMC) or, for a loop device, a backing file. Partitions never appear
// in /sys/block; ram, zram, dm-* and md* devices have no `device` link and are
// left out.
//
// Numbering: without a selection the disks are sorted in natural name order
// (loop0 < loop1 < loop10, nvme0n1 < nvme1n1 < nvme10n1, sda < sdz < sdaa)
// and numbered 0, 1, 2, ... in that order. The environment variable
// SSDTEST_DISKS ("loop3,sdb", commas or blanks between names, a "/dev/"
// prefix allowed) replaces this: only the named disks are listed and each one
// keeps its position in the text as its number, so a bench can pin numbers. A
// name that is not a disk, or repeats an earlier name, leaves its number
// unused rather than shifting the numbers after it. An unset or blank
// SSDTEST_DISKS means all disks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::posix {

constexpr const char* kDiskSelectionVariable = "SSDTEST_DISKS";
constexpr const char* kSysBlockRoot = "/sys/block";

/// One disk as sysfs describes it.
struct SysfsDisk {
    std::string name;  // kernel name, e.g. "sdb"; the device node is /dev/<name>
    std::int64_t sizeBytes = 0;
    std::string model;
    std::string serial;
    std::int32_t scsiHost = 0;    // H of the H:C:T:L address, 0 when not SCSI
    std::int32_t scsiTarget = 0;  // T of the H:C:T:L address
};

/// A disk with the drive number it is known by.
struct NumberedDisk {
    std::int32_t index = 0;
    SysfsDisk disk;
};

/// Natural order of kernel disk names: digit runs compare as numbers, and the
/// letter suffix of sd/vd/hd/xvd names compares as the kernel counts it
/// (a..z, then aa, ab, ...). A strict total order.
bool DiskNameLess(const std::string& a, const std::string& b);

/// The disks under `sysBlockRoot` (normally /sys/block), in directory order.
/// Returns nullopt when the folder cannot be read at all.
std::optional<std::vector<SysfsDisk>> ScanBlockDevices(const std::string& sysBlockRoot);

/// The names of a selection text such as "loop3, /dev/sdb"; a name that could
/// leave /sys/block (empty, "." or "..", or holding a '/') is kept as an empty
/// entry so that it still takes its position.
std::vector<std::string> ParseDiskSelection(const std::string& text);

/// Numbers the disks as described above; `selection` null or empty means all
/// disks in natural order. The result is sorted by index.
std::vector<NumberedDisk> NumberDisks(std::vector<SysfsDisk> disks,
                                      const std::vector<std::string>* selection);

/// The machine's disks numbered by the rules above, SSDTEST_DISKS included.
/// nullopt when /sys/block cannot be read.
std::optional<std::vector<NumberedDisk>> ReadNumberedDisks();

}  // namespace platform::posix
