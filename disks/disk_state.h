// The list of physical disks, read from the system once per process.
#pragma once

#include <vector>

#include "platform/disk_list.h"

using DiskRecord = platform::DiskRecord;

/// Replaces *disks with the kept disk list sorted by Index, reading it from the
/// system on the first successful call. False (disks untouched) when the
/// system's enumeration failed; the next call then tries again.
bool GetDiskState(std::vector<DiskRecord>* disks);
