#include "platform/win32/disk_layout.h"

#include <winioctl.h>

#include <algorithm>
#include <cstddef>

#include "platform/win32/sync_ioctl.h"

namespace platform {
namespace win32 {
namespace {

static_assert(IOCTL_DISK_GET_DRIVE_LAYOUT == 0x0007400C, "layout request code");
static_assert(sizeof(PARTITION_INFORMATION) == 32, "PARTITION_INFORMATION is 32 bytes");
static_assert(offsetof(PARTITION_INFORMATION, PartitionType) == 24, "PartitionType offset");
static_assert(offsetof(DRIVE_LAYOUT_INFORMATION, PartitionEntry) == 8,
              "entries follow PartitionCount and Signature");
static_assert(IOCTL_DISK_GET_DRIVE_LAYOUT_EX == 0x00070050, "extended layout request code");
static_assert(offsetof(DRIVE_LAYOUT_INFORMATION_EX, PartitionEntry) == 48,
              "entries follow the style, count and MBR/GPT header");
static_assert(sizeof(PARTITION_INFORMATION_EX) == 144, "PARTITION_INFORMATION_EX is 144 bytes");

constexpr DWORD kLegacyBufferBytes = 4096;
constexpr std::size_t kExtendedEntries = 128;  // a GPT holds up to 128 by default

}  // namespace

bool ReadLegacyLayout(HANDLE disk, std::vector<std::uint8_t>* partitionTypes) {
    alignas(8) unsigned char buffer[kLegacyBufferBytes] = {};
    DWORD returned = 0;
    if (!SyncDeviceIoControl(disk, IOCTL_DISK_GET_DRIVE_LAYOUT, nullptr, 0, buffer, sizeof buffer,
                             &returned))
        return false;
    constexpr std::size_t kEntriesOffset = offsetof(DRIVE_LAYOUT_INFORMATION, PartitionEntry);
    if (returned < kEntriesOffset) return false;
    const auto* layout = reinterpret_cast<const DRIVE_LAYOUT_INFORMATION*>(buffer);
    // Only entries the driver actually returned are read, whatever the count says.
    const std::size_t entriesReturned = (returned - kEntriesOffset) / sizeof(PARTITION_INFORMATION);
    const std::size_t count = std::min<std::size_t>(layout->PartitionCount, entriesReturned);
    partitionTypes->clear();
    for (std::size_t i = 0; i < count; ++i) {
        const auto* entry = reinterpret_cast<const PARTITION_INFORMATION*>(
            buffer + kEntriesOffset + i * sizeof(PARTITION_INFORMATION));
        partitionTypes->push_back(entry->PartitionType);
    }
    return true;
}

bool ReadExtendedLayout(HANDLE disk, std::vector<std::uint8_t>* partitionTypes) {
    std::vector<unsigned char> buffer(offsetof(DRIVE_LAYOUT_INFORMATION_EX, PartitionEntry) +
                                      kExtendedEntries * sizeof(PARTITION_INFORMATION_EX));
    DWORD returned = 0;
    if (!SyncDeviceIoControl(disk, IOCTL_DISK_GET_DRIVE_LAYOUT_EX, nullptr, 0, buffer.data(),
                             static_cast<DWORD>(buffer.size()), &returned))
        return false;
    constexpr std::size_t kEntriesOffset = offsetof(DRIVE_LAYOUT_INFORMATION_EX, PartitionEntry);
    if (returned < kEntriesOffset) return false;
    const auto* layout = reinterpret_cast<const DRIVE_LAYOUT_INFORMATION_EX*>(buffer.data());
    const std::size_t entriesReturned =
        (returned - kEntriesOffset) / sizeof(PARTITION_INFORMATION_EX);
    const std::size_t count = std::min<std::size_t>(layout->PartitionCount, entriesReturned);
    partitionTypes->clear();
    if (layout->PartitionStyle == PARTITION_STYLE_RAW) return true;
    constexpr std::uint8_t kGptEntryInUse = 0xEE;
    for (std::size_t i = 0; i < count; ++i) {
        const PARTITION_INFORMATION_EX& entry = layout->PartitionEntry[i];
        if (layout->PartitionStyle == PARTITION_STYLE_MBR)
            partitionTypes->push_back(entry.Mbr.PartitionType);
        else if (entry.PartitionLength.QuadPart != 0)
            partitionTypes->push_back(kGptEntryInUse);
    }
    return true;
}

bool ReadLayout(HANDLE disk, std::vector<std::uint8_t>* partitionTypes) {
    std::vector<std::uint8_t> legacy, extended;
    const bool legacyRead = ReadLegacyLayout(disk, &legacy);
    const bool extendedRead = ReadExtendedLayout(disk, &extended);
    if (!legacyRead && !extendedRead) return false;
    if (!legacyRead || (extendedRead && UsedEntries(extended) > UsedEntries(legacy)))
        *partitionTypes = extended;
    else
        *partitionTypes = legacy;
    return true;
}

std::size_t UsedEntries(const std::vector<std::uint8_t>& partitionTypes) {
    return static_cast<std::size_t>(std::count_if(partitionTypes.begin(), partitionTypes.end(),
                                                  [](std::uint8_t type) { return type != 0; }));
}

}  // namespace win32
}  // namespace platform
