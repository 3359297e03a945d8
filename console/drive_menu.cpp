#include "console/drive_menu.h"

#include <iostream>
#include <stdexcept>
#include <vector>

#include "disks/disk_state.h"
#include "platform/console.h"

void PrintDriveMenu() {
    std::vector<DiskRecord> disks;
    if (!GetDiskState(&disks)) {
        const std::wstring reason = platform::DiskListFailureReason();
        if (!reason.empty()) platform::WriteWide(reason + L"\n");
        throw std::runtime_error("GetDiskState Failed");
    }
    for (const DiskRecord& disk : disks) {
        std::cout << "Drive #" << disk.Index << ' ' << std::flush;
        platform::WriteWide(L"Name: " + disk.Model + L"  Serial: " + disk.SerialNumber + L"\n");
    }
}
