// Device control service: synchronous control requests to a drive, in the
// Windows form (control code, input block, output block, returned byte count).
#pragma once

#include <cstdint>

#include "platform/drive_number.h"

namespace platform {

struct ControlHandle;  // opaque

/// Opens drive `driveNumber` for synchronous control requests (read and write
/// access, shared). Returns nullptr when the drive cannot be opened.
ControlHandle* OpenControlHandle(platform::DriveNumber driveNumber);

/// Closes a handle from OpenControlHandle; nullptr is ignored.
void CloseControlHandle(ControlHandle* handle);

/// Sends one control request. Returns the platform's success flag and stores
/// the number of output bytes the driver returned in *bytesReturned (0 on
/// failure).
bool DeviceControl(ControlHandle* handle, std::uint32_t controlCode, const void* input,
                   std::uint32_t inputSize, void* output, std::uint32_t outputSize,
                   std::uint32_t* bytesReturned);

}  // namespace platform
