#include "tracking/drive_check.h"

#include <stdexcept>

#include "engine/drive_refusal.h"
#include "smart/drive_registry.h"
#include "smart/trace_stream.h"
#include "status/cnvme_status.h"
#include "text/operator_output.h"

void CheckDrive(CSSDTest& test) { CheckDrive(test, GetSSDSmart()); }

void CheckDrive(CSSDTest& test, const CSSDSmart& registry) {
    if (registry.StatusList.empty()) throw DriveRefusal("Drive Not Found");

    // The first record with the drive's number decides; later duplicates are ignored.
    const CSSDStatus* match = nullptr;
    for (const auto& record : registry.StatusList) {
        if (record && record->DriveNumber >= 0 &&
            static_cast<std::uint32_t>(record->DriveNumber) == test.driveNumber) {
            match = record.get();
            break;
        }
    }
    if (match == nullptr) throw DriveRefusal("Drive Not Found");

    const auto* nvme = dynamic_cast<const CNVMeStatus*>(match);
    if (nvme != nullptr) {
        const std::string source = "Erase count source: " + nvme->EraseCountSourceText();
        Out() << source << std::endl;
        TraceNote(platform::TraceLevel::Info,
                  "drive " + std::to_string(test.driveNumber) + " (NVMe): " + source);
    } else if (dynamic_cast<const CKVTStatus*>(match) == nullptr) {
        throw DriveRefusal("Drive Not KVT");
    }

    test.currentStatus = DriveStatus(*match);
    test.previousStatus = test.currentStatus;

    // The one identity of the run: the record IDENTIFY filled for the registry.
    DriveIdentity& identity = test.identity;
    identity.number = test.driveNumber;
    identity.path = test.driveSource->Path(test.driveNumber);
    identity.model = match->Model;
    identity.serial = match->SerialNumber;
    identity.firmware = match->FirmwareRevision;
    identity.sizeBytes = static_cast<std::int64_t>(match->DiskSize);
}

bool TrackedCountersDiffer(const CKVTStatus& previous, const CKVTStatus& current) {
    return previous.AverageEraseCount != current.AverageEraseCount ||
           previous.MaximumEraseCount != current.MaximumEraseCount ||
           previous.MinimumEraseCount != current.MinimumEraseCount ||
           previous.RawReadErrorRate != current.RawReadErrorRate ||
           previous.ProgramFailureBlockCount != current.ProgramFailureBlockCount ||
           previous.EraseFailureBlockCount != current.EraseFailureBlockCount ||
           previous.ReadFailureBlockCount != current.ReadFailureBlockCount ||
           previous.BadBlockFullFlag != current.BadBlockFullFlag;
}

bool TrackedCountersDiffer(const CSSDStatus& previous, const CSSDStatus& current) {
    const auto* kvtBefore = dynamic_cast<const CKVTStatus*>(&previous);
    const auto* kvtNow = dynamic_cast<const CKVTStatus*>(&current);
    if (kvtBefore != nullptr && kvtNow != nullptr)
        return TrackedCountersDiffer(*kvtBefore, *kvtNow);
    const auto* before = dynamic_cast<const CNVMeStatus*>(&previous);
    const auto* now = dynamic_cast<const CNVMeStatus*>(&current);
    if (before == nullptr || now == nullptr) return true;
    return before->AverageEraseCount != now->AverageEraseCount ||
           before->MaximumEraseCount != now->MaximumEraseCount ||
           before->MinimumEraseCount != now->MinimumEraseCount ||
           before->CriticalWarning != now->CriticalWarning ||
           before->AvailableSpare != now->AvailableSpare ||
           before->PercentageUsed != now->PercentageUsed ||
           before->MediaErrors != now->MediaErrors ||
           before->BadUserNandBlocks != now->BadUserNandBlocks ||
           before->BadSystemNandBlocks != now->BadSystemNandBlocks ||
           before->UncorrectableReadErrors != now->UncorrectableReadErrors;
}

std::uint64_t RateErrorBits(const CSSDStatus& status, const VerificationTotals& totals) {
    return status.ReportsFlashErrorBits() ? status.TotalErrorBitsFromFlash
                                          : totals.uncorrectableBitErrors;
}

double RawBitErrorRate(std::uint64_t errorBits, std::uint64_t readSectors) {
    // Both counters are unsigned: convert them as such before the division.
    // No read sectors gives NaN (no error bits) or +inf, which is logged as is.
    return static_cast<double>(errorBits) / (static_cast<double>(readSectors) * 4096.0);
}

bool UpdateDriveStatus(StatusTrack& track, const VerificationTotals& totals,
                       platform::DriveNumber driveNumber) {
    track.previousStatus = track.currentStatus;
    track.lastRefreshAnswered = track.currentStatus->Refresh();
    if (!track.lastRefreshAnswered && !track.smartFailureSaid) {
        const bool nvme = dynamic_cast<const CNVMeStatus*>(&*track.currentStatus) != nullptr;
        Out() << "SMART Read Failed: drive " << driveNumber << " (" << track.currentStatus->Model
              << ") did not answer " << (nvme ? "the NVMe health log" : "SMART READ DATA")
              << std::endl;
        track.smartFailureSaid = true;
    }
    const bool changed = TrackedCountersDiffer(*track.previousStatus, *track.currentStatus);
    track.calculatedRber = RawBitErrorRate(RateErrorBits(*track.currentStatus, totals),
                                           track.currentStatus->TotalReadSectors);
    return changed;
}
