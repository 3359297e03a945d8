// The drive list of the command line: one line per drive with its identity
// and whether the tool would test it, and the drive named by a serial.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "disks/disk_state.h"
#include "disks/drive_identity.h"

struct ListedDrive {
    platform::DriveNumber number = 0;
    std::wstring device;  ///< the path the test opens
    std::int64_t sizeBytes = 0;
    bool identified = false;  ///< IDENTIFY answered: model, serial and firmware are its texts
    std::string model;
    std::string serial;
    std::string firmware;
    std::string untestedReason;  ///< empty when the tool would test the drive
    bool answered = true;        ///< false when the drive did not answer its probe in time
};

/// The model, serial and firmware shown for a listed disk (with its number
/// and size): IDENTIFY's texts when the drive answers it (*identified set),
/// else the disk list's ("?" for the firmware). Printable ASCII either way, so
/// the menu and the list show the same texts.
DriveIdentity ShownIdentity(const DiskRecord& disk, bool* identified);

/// Lists and probes every drive, in number order. Throws "GetDiskState Failed"
/// (after printing the system's reason, if any) when the drives cannot be listed.
std::vector<ListedDrive> ListDrives();

/// "Drive #1: <device>, <size>, <model>, serial <S>, firmware <F>: would test"
/// or "...: not tested: <reason>".
std::wstring DriveListLine(const ListedDrive& drive);

/// Decimal size with one decimal: "67.1 MB", "500.1 GB", "2.0 TB".
std::string SizeText(std::int64_t sizeBytes);

/// Number of the one drive whose IDENTIFY serial is `serial`. Throws
/// DriveRefusal when no drive has it or more than one has.
platform::DriveNumber DriveNumberBySerial(const std::vector<ListedDrive>& drives,
                                          const std::string& serial);
