// Opening a raw drive by its device path, behind OpenRawDrive.
#pragma once

#include <cstdint>
#include <string>

#include "platform/raw_drive.h"

namespace platform {
namespace win32 {

/// Opens `path` (a drive's device path, or any file) for reading and writing,
/// unbuffered and overlapped, like OpenRawDrive. Returns nullptr on failure
/// and stores the system's error code in *errorCode.
RawDrive* OpenRawDevicePath(const std::wstring& path, std::uint32_t* errorCode);

}  // namespace win32
}  // namespace platform
