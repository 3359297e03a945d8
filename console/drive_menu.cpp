#include "console/drive_menu.h"

#include <stdexcept>
#include <vector>

#include "console/drive_list.h"
#include "disks/disk_state.h"
#include "smart/process_utils.h"
#include "text/operator_output.h"

void PrintDriveMenu() {
    std::vector<DiskRecord> disks;
    if (!GetDiskState(&disks)) {
        const std::wstring reason = platform::DiskListFailureReason();
        if (!reason.empty()) OutWide(reason + L"\n");
        throw std::runtime_error("GetDiskState Failed");
    }
    // The texts --list shows: IDENTIFY's where the drive answers it.
    for (const DiskRecord& disk : disks) {
        bool identified = false;
        const DriveIdentity shown = ShownIdentity(disk, &identified);
        Out() << "Drive #" << disk.Index << ' ' << std::flush;
        OutWide(L"Name: " + ToWide(shown.model) + L"  Serial: " + ToWide(shown.serial) + L"\n");
    }
}
