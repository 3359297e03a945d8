// Disk guard of the Windows backend: a disk on which a volume lies holds data
// and is refused. Partition tables are found by the layout check when the
// drive is opened.
#include "platform/disk_guard.h"

#include <windows.h>

#include <string>

#include "platform/win32/ansi_text.h"
#include "platform/win32/raw_device.h"
#include "platform/win32/volume_probe.h"

namespace platform {

DiskGuardResult CheckDiskBeforeWrite(std::uint32_t driveNumber) {
    DiskGuardResult result;
    // A test in another process holds the drive's mutex for its span.
    const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, win32::TestMutexName(driveNumber).c_str());
    if (mutex != nullptr) {
        CloseHandle(mutex);
        result.refused = true;
        result.reason = "\\\\.\\PhysicalDrive" + std::to_string(driveNumber) +
                        " is under test by another ssdtest process; wait for that test to end";
        return result;
    }
    const std::wstring volume = win32::VolumeOnDiskReason(driveNumber);
    if (volume.empty()) return result;
    result.refused = true;
    result.partitionTable = true;
    result.reason =
        win32::AnsiText(volume) + " (remove its volumes first, e.g. with diskpart clean)";
    return result;
}

}  // namespace platform
