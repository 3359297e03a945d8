#include "console/json_output.h"

#include <ctime>

#include "smart/drive_registry.h"
#include "smart/nvme_channel.h"
#include "smart/process_utils.h"
#include "smart/smart_channel.h"
#include "tracking/run_figures.h"
#include "tracking/status_file.h"

nlohmann::ordered_json DriveKind(platform::DriveNumber driveNumber) {
    if (IsNvmeDrive(driveNumber)) return "nvme";
    SmartDataBlock block;
    if (!GetSmartReadData(driveNumber, &block)) return nullptr;
    switch (ClassifyDrive(block)) {
        case kDriveKVT:
            return "kvt";
        case kDriveRZB:
            return "rzb";
        default:
            return "unknown";
    }
}

nlohmann::ordered_json DriveListJson(
    const std::vector<ListedDrive>& drives,
    const std::function<nlohmann::ordered_json(std::uint32_t)>& kindOf) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const ListedDrive& drive : drives) {
        list.push_back(
            {{"number", drive.number},
             {"path", ToNarrow(drive.device)},
             {"size_bytes", drive.sizeBytes},
             {"identified", drive.identified},
             {"model", drive.model},
             {"serial", drive.serial},
             {"firmware", drive.identified ? nlohmann::ordered_json(drive.firmware) : nullptr},
             {"kind", kindOf(drive.number)},
             {"verdict", drive.untestedReason.empty() ? "would test" : "not tested"},
             {"reason", drive.untestedReason}});
    }
    return {{"format", "ssdtest-drives"}, {"format_version", 1}, {"drives", list}};
}

nlohmann::ordered_json SummaryJson(RunFigures figures, int exitCode) {
    if (figures.state == RunState::kRunning)
        figures.state = exitCode == 4 ? RunState::kRefused : RunState::kFailed;
    nlohmann::ordered_json summary = StatusJson(figures);
    summary["format"] = "ssdtest-summary";
    summary["exit_code"] = exitCode;
    return summary;
}

std::string JsonText(const nlohmann::ordered_json& document) {
    return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}
