#include "console/drive_menu.h"

#include <stdexcept>
#include <vector>

#include "disks/disk_state.h"
#include "text/operator_output.h"

void PrintDriveMenu() {
    std::vector<DiskRecord> disks;
    if (!GetDiskState(&disks)) {
        const std::wstring reason = platform::DiskListFailureReason();
        if (!reason.empty()) OutWide(reason + L"\n");
        throw std::runtime_error("GetDiskState Failed");
    }
    for (const DiskRecord& disk : disks) {
        Out() << "Drive #" << disk.Index << ' ' << std::flush;
        OutWide(L"Name: " + disk.Model + L"  Serial: " + disk.SerialNumber + L"\n");
    }
}
