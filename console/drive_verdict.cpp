#include "console/drive_verdict.h"

#include "platform/disk_guard.h"
#include "smart/drive_registry.h"
#include "smart/smart_channel.h"

std::string UntestedReason(std::uint32_t driveNumber, bool* answered) {
    // The same order as a test's: a disk that holds data is refused first.
    const platform::DiskGuardResult guard = platform::CheckDiskBeforeWrite(driveNumber);
    if (answered != nullptr) *answered = !guard.noAnswer;
    if (guard.refused) return guard.reason;
    const auto number = static_cast<std::int32_t>(driveNumber);
    SmartDataBlock block;
    if (!GetSmartReadData(number, &block)) return "SMART not answering";
    if (ClassifyDrive(block) != kDriveKVT) return "kind not supported";
    std::uint8_t identifyPage[512];
    if (!GetIdentifyData(number, identifyPage, nullptr)) return "IDENTIFY not answering";
    return "";
}
