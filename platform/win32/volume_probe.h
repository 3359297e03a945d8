// Whether a mounted volume lies on a physical disk: a disk that holds one is
// never written by the test.
#pragma once

#include <cstdint>
#include <string>

namespace platform {
namespace win32 {

/// One line naming a volume whose extents lie on disk `diskNumber`
/// ("volume C:\ lies on \\.\PhysicalDrive3"); empty when none does.
std::wstring VolumeOnDiskReason(std::uint32_t diskNumber);

}  // namespace win32
}  // namespace platform
