// The partition layout of a disk as the system reports it, by the legacy
// request and by the extended one.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace platform {
namespace win32 {

/// The legacy layout: one partition type byte per MBR entry (0 marks an
/// unused one). False when the request fails.
bool ReadLegacyLayout(HANDLE disk, std::vector<std::uint8_t>* partitionTypes);

/// The extended layout: no entries for a blank (RAW) disk, the MBR types, or
/// one in-use mark (0xEE) per GPT partition. False when the request fails.
bool ReadExtendedLayout(HANDLE disk, std::vector<std::uint8_t>* partitionTypes);

/// Both layouts: the one that shows more partitions in use. Some systems
/// answer the legacy request for a GPT disk with unused entries, so the
/// extended one is asked too. False only when both requests fail.
bool ReadLayout(HANDLE disk, std::vector<std::uint8_t>* partitionTypes);

/// Entries in use (type not 0).
std::size_t UsedEntries(const std::vector<std::uint8_t>& partitionTypes);

}  // namespace win32
}  // namespace platform
