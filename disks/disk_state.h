// The list of physical disks, read from the system once per process.
#pragma once

#include <string>
#include <vector>

#include "platform/disk_list.h"

using DiskRecord = platform::DiskRecord;

/// Replaces *disks with the kept disk list sorted by Index, reading it from the
/// system on the first successful call. False (disks untouched) when the
/// system's enumeration failed; the next call then tries again.
bool GetDiskState(std::vector<DiskRecord>* disks);

/// The drive number at the end of a device id such as \\.\PHYSICALDRIVE12:
/// the whole run of trailing decimal digits; 0 when there is none.
int ParseDeviceIdIndex(const std::wstring& deviceId);

/// Swaps the characters of a serial text in pairs (0<->1, 2<->3, ...).
std::wstring SwapSerialPairs(const std::wstring& serial);
