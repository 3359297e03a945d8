// Texts of the WMI disk records: the drive number in a device id and the
// serial as some drives report it. Free of <windows.h>, so any build checks it.
#pragma once

#include <cstdint>
#include <string>

namespace platform {
namespace win32 {

/// The drive number at the end of a device id such as \\.\PHYSICALDRIVE12:
/// the whole run of trailing decimal digits; 0 when there is none.
int ParseDeviceIdIndex(const std::wstring& deviceId);

/// Swaps the characters of a serial text in pairs (0<->1, 2<->3, ...).
std::wstring SwapSerialPairs(const std::wstring& serial);

/// The serial of a 512-byte IDENTIFY page (words 10-19, two characters per
/// word, the first in the high byte) without its padding blanks; bytes
/// outside printable ASCII become '?'.
std::wstring IdentifySerial(const std::uint8_t* identifyPage);

/// The serial the disk list shows when the drive does not answer IDENTIFY:
/// the WMI text, whose pairs systems before Windows 8 deliver swapped.
std::wstring WmiSerial(const std::wstring& wmiText, bool swappedBySystem);

}  // namespace win32
}  // namespace platform
