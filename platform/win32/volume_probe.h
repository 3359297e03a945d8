// Whether a mounted volume lies on a physical disk: a disk that holds one is
// never written by the test.
#pragma once

#include <cstdint>
#include <string>

#include "platform/disk_guard.h"

namespace platform {
namespace win32 {

/// Every volume of the system asked for its disk extents. Refused with
/// `partitionTable` set and a line naming the volume ("volume C:\ lies on
/// \\.\PhysicalDrive3 ...") when one lies on disk `diskNumber`; refused with
/// the reason when a volume that may lie on a disk cannot be asked.
DiskGuardResult VolumesOnDisk(std::uint32_t diskNumber);

}  // namespace win32
}  // namespace platform
