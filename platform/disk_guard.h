// Disk guard service: decides, before a drive is opened for a test, whether
// it may be written at all. A disk that holds data (a partition table, a file
// system or other signature, partitions, holders, mounts), that another
// process has open, or that cannot be written, is refused.
#pragma once

#include <cstdint>
#include <string>

#include "platform/drive_number.h"

namespace platform {

struct DiskGuardResult {
    bool refused = false;
    bool partitionTable = false;  ///< the refusal is for a partition table or partitions
    std::string reason;           ///< one line naming the device and what was found
    bool noAnswer = false;        ///< the drive did not answer the probe in time (a hung disk)
};

/// Probes drive `driveNumber` without writing to it. `refused` with a one-line
/// reason when the drive must not be written; a drive that cannot be probed is
/// refused too. An unknown number passes (opening it fails later).
DiskGuardResult CheckDiskBeforeWrite(platform::DriveNumber driveNumber);

}  // namespace platform
