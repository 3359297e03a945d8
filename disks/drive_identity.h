// Which physical drive a test runs on: resolved once per run from the drive
// number and handed to every part that needs to know the drive.
#pragma once

#include <cstdint>
#include <string>

#include "platform/drive_number.h"

/// One drive as the run knows it. The texts are those of IDENTIFY DEVICE with
/// only their right-hand padding cut; empty when the drive did not answer.
struct DriveIdentity {
    platform::DriveNumber number = 0;  ///< the drive number the operator chose
    std::wstring path;                 ///< device path shown to the operator
    std::string model;
    std::string serial;
    std::string firmware;
    std::int64_t sizeBytes = 0;  ///< 0 when not known
};
