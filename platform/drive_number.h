// The number that names a drive of this machine.
#pragma once

#include <cstdint>

namespace platform {

/// A drive's number: N of "\\.\PhysicalDriveN" on Windows, the place of a
/// block device in the Linux disk list, the lab bench's drive N. Every part of
/// the program that names a drive by number uses this type; only the status
/// records keep the signed field of their CSV form (CSSDStatus::DriveNumber).
using DriveNumber = std::uint32_t;

/// The number no drive has: what a negative index stands for.
constexpr DriveNumber kNoDrive = 0xFFFFFFFFu;

/// The drive number of a signed index (a disk record's Index, a status
/// record's DriveNumber): the one conversion between the two; kNoDrive for
/// a negative index.
constexpr DriveNumber DriveNumberOf(std::int32_t index) {
    return index < 0 ? kNoDrive : static_cast<DriveNumber>(index);
}

}  // namespace platform
