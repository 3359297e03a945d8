// Disk guard of the Windows backend. Before a disk is opened for writing:
// the volumes of the system (one on the disk holds data), then the disk
// itself, opened for reading only: its partition layouts, the signatures in
// its first and last MiB, and whether it can be written at all (offline or
// read-only disks are refused before any file of the test is made).
#include "platform/disk_guard.h"

#include <windows.h>

#include <string>

#include "platform/process.h"
#include "platform/win32/ansi_text.h"
#include "platform/win32/disk_probe.h"
#include "platform/win32/raw_device.h"
#include "platform/win32/volume_probe.h"

namespace platform {

DiskGuardResult CheckDiskBeforeWrite(platform::DriveNumber driveNumber) {
    // A test in another process holds the drive's mutex for its span.
    const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, win32::TestMutexName(driveNumber).c_str());
    if (mutex != nullptr) {
        CloseHandle(mutex);
        DiskGuardResult busy;
        busy.refused = true;
        busy.reason = "\\\\.\\PhysicalDrive" + std::to_string(driveNumber) +
                      " is under test by another ssdtest process; wait for that test to end";
        return busy;
    }
    const std::wstring path = win32::PhysicalDrivePath(driveNumber);
    const HANDLE disk = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (disk == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // An unknown number passes: opening it for the test fails and says so.
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
        DiskGuardResult result;
        result.refused = true;
        result.reason = win32::AnsiText(L"cannot probe " + path + L": " + SystemErrorText(error));
        return result;
    }
    DiskGuardResult result = win32::VolumesOnDisk(driveNumber);
    if (!result.refused) result = win32::CheckLayouts(disk, path);
    if (!result.refused) result = win32::CheckWritable(disk, path);
    if (!result.refused) result = win32::CheckSignatures(disk, path);
    CloseHandle(disk);
    return result;
}

}  // namespace platform
