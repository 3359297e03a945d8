// The NVMe pages of a lab drive, byte for byte as platform/nvme_wire.h lays
// them out.
#include "platform/lab/lab_nvme_pages.h"

#include <algorithm>
#include <cstring>

#include "platform/nvme_wire.h"

namespace platform::lab {

namespace {

namespace nvme = platform::nvme;

// Thousands of 512-byte units, rounded up as drives count them.
std::uint64_t DataUnits(std::uint64_t bytes) { return (bytes + 511999) / 512000; }

void PutText(std::uint8_t* field, int width, const std::string& text) {
    // A blank-padded text field, no terminator.
    const std::size_t count = std::min(text.size(), static_cast<std::size_t>(width));
    std::fill(field, field + width, static_cast<std::uint8_t>(' '));
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(count), field);
}

// Percentage of the rated cycles used, held at 255 as the log's byte allows.
std::uint8_t PercentageUsed(const Controller& controller) {
    const std::uint32_t rated = std::max<std::uint32_t>(controller.Config().wear.ratedCycles, 1);
    return static_cast<std::uint8_t>(
        std::min<std::uint64_t>(std::uint64_t{controller.AverageEraseCount()} * 100 / rated, 255));
}

std::uint8_t AvailableSpare(const Controller& controller) {
    const ControllerState& state = controller.State();
    const std::uint64_t failed =
        state.programFailureBlocks + state.eraseFailureBlocks + state.readFailureBlocks;
    const std::uint64_t spare = std::max<std::uint32_t>(controller.SpareBlocks(), 1);
    return static_cast<std::uint8_t>(100 - std::min<std::uint64_t>(failed * 100 / spare, 100));
}

}  // namespace

bool BuildNvmeIdentify(const BenchDrive& config, std::int64_t sizeBytes, std::uint8_t cns,
                       std::uint8_t* page) {
    std::memset(page, 0, nvme::kIdentifyBytes);
    if (cns == nvme::kCnsController) {
        PutText(page + nvme::kCtrlSerialOffset, nvme::kCtrlSerialBytes, config.serial);
        PutText(page + nvme::kCtrlModelOffset, nvme::kCtrlModelBytes, config.model);
        PutText(page + nvme::kCtrlFirmwareOffset, nvme::kCtrlFirmwareBytes, config.firmware);
        nvme::PutLittleEndian(page + nvme::kCtrlAttributesOffset, 4,
                              nvme::kCtrlAttributeEnduranceGroups);
        nvme::PutLittleEndian(page + nvme::kCtrlTotalCapacityOffset, 16,
                              static_cast<std::uint64_t>(sizeBytes));
        nvme::PutLittleEndian(page + nvme::kCtrlEnduranceGroupMaxOffset, 2, 1);
        nvme::PutLittleEndian(page + nvme::kCtrlNamespaceCountOffset, 4, 1);
        return true;
    }
    if (cns != nvme::kCnsNamespace) return false;
    // One namespace of 512-byte blocks in endurance group 1.
    const auto blocks = static_cast<std::uint64_t>(sizeBytes) / 512;
    nvme::PutLittleEndian(page + nvme::kNsSizeOffset, 8, blocks);
    nvme::PutLittleEndian(page + nvme::kNsCapacityOffset, 8, blocks);
    nvme::PutLittleEndian(page + nvme::kNsUsedOffset, 8, blocks);
    nvme::PutLittleEndian(page + nvme::kNsEnduranceGroupOffset, 2, 1);
    page[nvme::kNsLbaFormatsOffset + nvme::kLbaFormatDataShift] = 9;
    return true;
}

bool BuildNvmeLog(const Controller& controller, std::uint64_t powerOnHours, std::uint8_t logId,
                  std::uint16_t specific, std::uint8_t* log) {
    std::memset(log, 0, nvme::kLogBytes);
    const ControllerState& state = controller.State();
    const double amplification = controller.Config().wear.writeAmplification;
    const auto mediaBytes =
        static_cast<std::uint64_t>(static_cast<double>(state.hostBytesWritten) * amplification);
    if (logId == nvme::kLogHealth) {
        auto* health = reinterpret_cast<nvme::HealthLog*>(log);
        health->availableSpare = AvailableSpare(controller);
        health->availableSpareThreshold = 10;
        health->criticalWarning = health->availableSpare < 10 ? 1 : 0;
        health->percentageUsed = PercentageUsed(controller);
        nvme::PutLittleEndian(health->temperatureKelvin, 2, 313);
        nvme::PutLittleEndian(health->dataUnitsRead, 16, DataUnits(state.hostBytesRead));
        nvme::PutLittleEndian(health->dataUnitsWritten, 16, DataUnits(state.hostBytesWritten));
        nvme::PutLittleEndian(health->hostReadCommands, 16, state.readCommands);
        nvme::PutLittleEndian(health->hostWriteCommands, 16, state.writeCommands);
        nvme::PutLittleEndian(health->powerCycles, 16, state.powerCycles);
        nvme::PutLittleEndian(health->powerOnHours, 16, powerOnHours);
        nvme::PutLittleEndian(health->mediaErrors, 16, state.uncorrectableSectors);
        return true;
    }
    if (logId == nvme::kLogEnduranceGroup) {
        if (specific != 1) return false;
        auto* group = reinterpret_cast<nvme::EnduranceGroupLog*>(log);
        group->availableSpare = AvailableSpare(controller);
        group->availableSpareThreshold = 10;
        group->percentageUsed = PercentageUsed(controller);
        nvme::PutLittleEndian(group->dataUnitsRead, 16, DataUnits(state.hostBytesRead));
        nvme::PutLittleEndian(group->dataUnitsWritten, 16, DataUnits(state.hostBytesWritten));
        nvme::PutLittleEndian(group->mediaUnitsWritten, 16, DataUnits(mediaBytes));
        nvme::PutLittleEndian(group->hostReadCommands, 16, state.readCommands);
        nvme::PutLittleEndian(group->hostWriteCommands, 16, state.writeCommands);
        nvme::PutLittleEndian(group->mediaErrors, 16, state.uncorrectableSectors);
        return true;
    }
    if (logId == nvme::kLogDatacenterSmart && controller.Config().datacenterLog) {
        auto* datacenter = reinterpret_cast<nvme::DatacenterSmartLog*>(log);
        nvme::PutLittleEndian(datacenter->physicalMediaUnitsWritten, 16, mediaBytes);
        nvme::PutLittleEndian(datacenter->physicalMediaUnitsRead, 16, state.hostBytesRead);
        nvme::PutLittleEndian(
            datacenter->badUserNandBlocks, 6,
            state.programFailureBlocks + state.eraseFailureBlocks + state.readFailureBlocks);
        nvme::PutLittleEndian(datacenter->uncorrectableReadErrors, 8, state.uncorrectableSectors);
        nvme::PutLittleEndian(datacenter->softEccErrors, 8, state.correctableSectors);
        nvme::PutLittleEndian(datacenter->maximumUserDataEraseCount, 4,
                              controller.MaximumEraseCount());
        nvme::PutLittleEndian(datacenter->minimumUserDataEraseCount, 4,
                              controller.MinimumEraseCount());
        nvme::PutLittleEndian(datacenter->logPageVersion, 2, 3);
        std::memcpy(datacenter->logPageGuid, nvme::kDatacenterLogGuid,
                    sizeof datacenter->logPageGuid);
        return true;
    }
    return false;
}

}  // namespace platform::lab
