// Every volume of the system asked for its disk extents.
#include "platform/win32/volume_probe.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/win32/sync_ioctl.h"

namespace platform {
namespace win32 {
namespace {

// Up to this many extents per volume (a spanned or striped volume has several).
constexpr DWORD kExtentBufferBytes = sizeof(VOLUME_DISK_EXTENTS) + 31 * sizeof(DISK_EXTENT);

// True when one of the volume's extents is on the disk.
bool VolumeUsesDisk(const std::wstring& volumeName, std::uint32_t diskNumber) {
    // The volume's device: its GUID name without the trailing backslash.
    std::wstring device = volumeName;
    if (!device.empty() && device.back() == L'\\') device.pop_back();
    const HANDLE volume = CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (volume == INVALID_HANDLE_VALUE) return false;
    std::vector<unsigned char> buffer(kExtentBufferBytes);
    DWORD returned = 0;
    const bool read =
        SyncDeviceIoControl(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, buffer.data(),
                            static_cast<DWORD>(buffer.size()), &returned);
    CloseHandle(volume);
    constexpr std::size_t kFirstExtent = offsetof(VOLUME_DISK_EXTENTS, Extents);
    if (!read || returned < kFirstExtent) return false;
    const auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(buffer.data());
    const std::size_t count = std::min<std::size_t>(
        extents->NumberOfDiskExtents, (returned - kFirstExtent) / sizeof(DISK_EXTENT));
    for (std::size_t i = 0; i < count; ++i)
        if (extents->Extents[i].DiskNumber == diskNumber) return true;
    return false;
}

// The volume's first drive letter or folder, else its GUID name.
std::wstring VolumeShownAs(const std::wstring& volumeName) {
    wchar_t paths[1024] = {};
    DWORD length = 0;
    if (GetVolumePathNamesForVolumeNameW(volumeName.c_str(), paths, 1024, &length) &&
        paths[0] != L'\0')
        return paths;
    return volumeName;
}

}  // namespace

std::wstring VolumeOnDiskReason(std::uint32_t diskNumber) {
    wchar_t name[MAX_PATH] = {};
    const HANDLE search = FindFirstVolumeW(name, MAX_PATH);
    if (search == INVALID_HANDLE_VALUE) return {};
    std::wstring reason;
    do {
        if (VolumeUsesDisk(name, diskNumber)) {
            reason = L"volume " + VolumeShownAs(name) + L" lies on \\\\.\\PhysicalDrive" +
                     std::to_wstring(diskNumber) + L" (remove it first, e.g. with diskpart clean)";
            break;
        }
    } while (FindNextVolumeW(search, name, MAX_PATH));
    FindVolumeClose(search);
    return reason;
}

}  // namespace win32
}  // namespace platform
