// Texts of the WMI disk records: the drive number in a device id and the
// serial as some drives report it. Free of <windows.h>, so any build checks it.
#pragma once

#include <string>

namespace platform {
namespace win32 {

/// The drive number at the end of a device id such as \\.\PHYSICALDRIVE12:
/// the whole run of trailing decimal digits; 0 when there is none.
int ParseDeviceIdIndex(const std::wstring& deviceId);

/// Swaps the characters of a serial text in pairs (0<->1, 2<->3, ...).
std::wstring SwapSerialPairs(const std::wstring& serial);

}  // namespace win32
}  // namespace platform
