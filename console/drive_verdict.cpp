#include "console/drive_verdict.h"

#include <vector>

#include "disks/disk_state.h"
#include "platform/disk_guard.h"
#include "smart/drive_registry.h"
#include "smart/nvme_channel.h"
#include "smart/smart_channel.h"
#include "status/cnvme_status.h"

std::string UntestedReason(platform::DriveNumber driveNumber, bool* answered) {
    // The same order as a test's: a disk that holds data is refused first.
    const platform::DiskGuardResult guard = platform::CheckDiskBeforeWrite(driveNumber);
    if (answered != nullptr) *answered = !guard.noAnswer;
    if (guard.refused) return guard.reason;
    if (IsNvmeDrive(driveNumber)) {
        CNVMeStatus status;
        platform::DiskRecord disk;
        disk.Index = static_cast<std::int32_t>(driveNumber);
        return status.Init(disk) ? "" : "NVMe health log not answering";
    }
    SmartDataBlock block;
    if (!GetSmartReadData(driveNumber, &block)) return "SMART not answering";
    if (ClassifyDrive(block) != kDriveKVT) return "kind not supported";
    std::uint8_t identifyPage[512];
    if (!GetIdentifyData(driveNumber, identifyPage, nullptr)) return "IDENTIFY not answering";
    return "";
}

std::string RefusalReason(platform::DriveNumber driveNumber) {
    std::vector<DiskRecord> disks;
    bool listed = false;
    if (GetDiskState(&disks)) {
        for (const DiskRecord& disk : disks)
            listed = listed ||
                     (disk.Index >= 0 && static_cast<std::uint32_t>(disk.Index) == driveNumber);
    }
    const std::string number = "#" + std::to_string(driveNumber);
    if (!listed) return "No drive " + number + " in the drive list";
    const std::string reason = UntestedReason(driveNumber);
    return reason.empty() ? reason : "Drive " + number + " not tested: " + reason;
}
