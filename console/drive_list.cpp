#include "console/drive_list.h"

#include <cstdio>
#include <stdexcept>

#include "console/drive_verdict.h"
#include "disks/disk_state.h"
#include "engine/drive_refusal.h"
#include "platform/drive.h"
#include "smart/nvme_channel.h"
#include "smart/process_utils.h"
#include "smart/smart_channel.h"
#include "text/operator_output.h"
#include "text/printable_text.h"

DriveIdentity ShownIdentity(const DiskRecord& disk, bool* identified) {
    DriveIdentity shown;
    shown.number = platform::DriveNumberOf(disk.Index);
    shown.sizeBytes = disk.Size;
    std::uint8_t identifyPage[512];
    *identified = GetIdentifyData(platform::DriveNumberOf(disk.Index), identifyPage, &shown);
    if (!*identified) {
        shown.model = PrintableText(ToNarrow(disk.Model));
        shown.serial = PrintableText(ToNarrow(disk.SerialNumber));
        shown.firmware = "?";
    }
    return shown;
}

std::vector<ListedDrive> ListDrives() {
    std::vector<DiskRecord> disks;
    if (!GetDiskState(&disks)) {
        const std::wstring reason = platform::DiskListFailureReason();
        if (!reason.empty()) OutWide(reason + L"\n");
        throw std::runtime_error("GetDiskState Failed");
    }
    std::vector<ListedDrive> drives;
    for (const DiskRecord& disk : disks) {
        ListedDrive drive;
        drive.number = static_cast<std::uint32_t>(disk.Index);
        drive.device = platform::SystemDrives().Path(drive.number);
        drive.sizeBytes = disk.Size;
        const DriveIdentity shown = ShownIdentity(disk, &drive.identified);
        drive.model = shown.model;
        drive.serial = shown.serial;
        drive.firmware = shown.firmware;
        NvmeIdentity nvme;
        if (!drive.identified && IsNvmeDrive(platform::DriveNumberOf(disk.Index)) &&
            GetNvmeIdentity(platform::DriveNumberOf(disk.Index), &nvme)) {
            drive.identified = true;
            drive.model = nvme.model;
            drive.serial = nvme.serial;
            drive.firmware = nvme.firmware;
        }
        drive.untestedReason = UntestedReason(drive.number, &drive.answered);
        drives.push_back(drive);
    }
    return drives;
}

std::string SizeText(std::int64_t sizeBytes) {
    static const char* const kUnits[] = {"MB", "GB", "TB", "PB"};
    double size = static_cast<double>(sizeBytes) / 1e6;
    int unit = 0;
    while (size >= 1000 && unit < 3) {
        size /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", size, kUnits[unit]);
    return text;
}

std::wstring DriveListLine(const ListedDrive& drive) {
    const std::string verdict =
        drive.untestedReason.empty() ? "would test" : "not tested: " + drive.untestedReason;
    return L"Drive #" + std::to_wstring(drive.number) + L": " + drive.device + L", " +
           ToWide(SizeText(drive.sizeBytes) + ", " + drive.model + ", serial " + drive.serial +
                  ", firmware " + drive.firmware + ": " + verdict);
}

platform::DriveNumber DriveNumberBySerial(const std::vector<ListedDrive>& drives,
                                          const std::string& serial) {
    const ListedDrive* found = nullptr;
    for (const ListedDrive& drive : drives) {
        if (!drive.identified || drive.serial != serial) continue;
        if (found != nullptr)
            throw DriveRefusal("More than one drive has serial " + PrintableText(serial));
        found = &drive;
    }
    if (found == nullptr)
        throw DriveRefusal("Drive Not Found: no drive has serial " + PrintableText(serial));
    return found->number;
}
