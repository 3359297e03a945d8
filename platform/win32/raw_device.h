// Opening a drive by its device path, behind the system's drive source.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/drive.h"
#include "platform/drive_number.h"

namespace platform {
namespace win32 {

/// Opens `path` (a drive's device path, or any file) for reading and writing,
/// unbuffered and overlapped, as the system's source opens a drive. Returns
/// nullptr on failure and stores the system's error code in *errorCode.
std::unique_ptr<Drive> OpenRawDevicePath(const std::wstring& path, std::uint32_t* errorCode);

/// The device path of drive `driveNumber`, "\\.\PhysicalDriveN": the one
/// place a drive number becomes a device on Windows.
std::wstring PhysicalDrivePath(platform::DriveNumber driveNumber);

/// Name of the mutex a test holds on drive `driveNumber` for its span, so a
/// second test on the drive is refused whatever share flags it opens with.
std::wstring TestMutexName(platform::DriveNumber driveNumber);

}  // namespace win32
}  // namespace platform
