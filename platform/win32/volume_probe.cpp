// Every volume of the system asked for its disk extents. A volume that cannot
// be asked refuses the disk: it may lie on it. Volumes that are on no disk
// (an optical drive, a drive without its medium) tell so by their errors.
#include "platform/win32/volume_probe.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/process.h"
#include "platform/win32/ansi_text.h"
#include "platform/win32/sync_ioctl.h"

namespace platform {
namespace win32 {
namespace {

// Errors of volumes that lie on no disk, or vanished while being asked.
bool OnNoDisk(DWORD error) {
    return error == ERROR_NOT_READY || error == ERROR_FILE_NOT_FOUND ||
           error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_FUNCTION ||
           error == ERROR_NOT_SUPPORTED || error == ERROR_NO_MEDIA_IN_DRIVE;
}

enum class VolumeUse { OnDisk, Elsewhere, Unknown };

// Whether one of the volume's extents is on the disk; *error tells why not
// when Unknown.
VolumeUse VolumeUsesDisk(const std::wstring& volumeName, std::uint32_t diskNumber, DWORD* error) {
    // The volume's device: its GUID name without the trailing backslash.
    std::wstring device = volumeName;
    if (!device.empty() && device.back() == L'\\') device.pop_back();
    const HANDLE volume = CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (volume == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return OnNoDisk(*error) ? VolumeUse::Elsewhere : VolumeUse::Unknown;
    }
    constexpr std::size_t kFirstExtent = offsetof(VOLUME_DISK_EXTENTS, Extents);
    // A spanned or striped volume has several extents: the buffer grows to
    // the count the first answer gives.
    std::vector<unsigned char> buffer(kFirstExtent + 32 * sizeof(DISK_EXTENT));
    DWORD returned = 0;
    bool read = false;
    for (int attempt = 0; attempt < 2 && !read; ++attempt) {
        read = SyncDeviceIoControl(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0,
                                   buffer.data(), static_cast<DWORD>(buffer.size()), &returned);
        *error = read ? ERROR_SUCCESS : GetLastError();
        if (read || *error != ERROR_MORE_DATA) break;
        const auto* partial = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(buffer.data());
        buffer.assign(kFirstExtent + (partial->NumberOfDiskExtents + 1) * sizeof(DISK_EXTENT), 0);
    }
    CloseHandle(volume);
    if (!read) return OnNoDisk(*error) ? VolumeUse::Elsewhere : VolumeUse::Unknown;
    if (returned < kFirstExtent) {
        *error = ERROR_INVALID_DATA;
        return VolumeUse::Unknown;
    }
    const auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(buffer.data());
    const std::size_t count = std::min<std::size_t>(
        extents->NumberOfDiskExtents, (returned - kFirstExtent) / sizeof(DISK_EXTENT));
    for (std::size_t i = 0; i < count; ++i)
        if (extents->Extents[i].DiskNumber == diskNumber) return VolumeUse::OnDisk;
    return VolumeUse::Elsewhere;
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

DiskGuardResult Refuse(const std::wstring& reason, bool volumeFound) {
    DiskGuardResult result;
    result.refused = true;
    result.partitionTable = volumeFound;
    result.reason = AnsiText(reason);
    return result;
}

}  // namespace

DiskGuardResult VolumesOnDisk(std::uint32_t diskNumber) {
    const std::wstring disk = L"\\\\.\\PhysicalDrive" + std::to_wstring(diskNumber);
    wchar_t name[MAX_PATH] = {};
    const HANDLE search = FindFirstVolumeW(name, MAX_PATH);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_NO_MORE_FILES) return DiskGuardResult{};  // no volume at all
        return Refuse(
            L"cannot probe " + disk + L": the volumes cannot be listed: " + SystemErrorText(error),
            false);
    }
    DiskGuardResult result;
    do {
        DWORD error = ERROR_SUCCESS;
        const VolumeUse use = VolumeUsesDisk(name, diskNumber, &error);
        if (use == VolumeUse::OnDisk) {
            result = Refuse(L"volume " + VolumeShownAs(name) + L" lies on " + disk +
                                L" (remove it first, e.g. with diskpart clean)",
                            true);
            break;
        }
        if (use == VolumeUse::Unknown && !result.refused)
            result = Refuse(L"cannot probe " + disk + L": volume " + VolumeShownAs(name) +
                                L" cannot be asked where it lies: " + SystemErrorText(error),
                            false);
    } while (FindNextVolumeW(search, name, MAX_PATH));
    FindVolumeClose(search);
    return result;
}

}  // namespace win32
}  // namespace platform
