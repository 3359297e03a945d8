// Disk list service: the physical disks of the machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

/// One physical disk as the system lists it.
struct DiskRecord {
    std::int64_t Size = 0;   ///< bytes
    std::int32_t Index = 0;  ///< drive number N used everywhere else
    std::wstring Model;
    std::wstring SerialNumber;
    std::int32_t SCSIPort = 0;
    std::int32_t SCSITargetId = 0;
};

/// Appends the machine's physical disks to *disks, in the system's order.
/// Returns false when the system's enumeration could not run at all; a machine
/// without disks gives true and nothing appended.
bool EnumerateDisks(std::vector<DiskRecord>* disks);

/// Why the last EnumerateDisks call failed, in words for the operator; empty
/// when the system gave no reason.
std::wstring DiskListFailureReason();

}  // namespace platform
