#include "tracking/drive_check.h"

#include <stdexcept>

#include "engine/drive_refusal.h"
#include "smart/drive_registry.h"
#include "text/operator_output.h"

void CheckDrive(CSSDTest& test) {
    CSSDSmart& registry = GetSSDSmart();
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

    const auto* kvt = dynamic_cast<const CKVTStatus*>(match);
    if (kvt == nullptr) throw DriveRefusal("Drive Not KVT");

    test.currentStatus = *kvt;
    test.previousStatus = test.currentStatus;

    // The one identity of the run: the record IDENTIFY filled for the registry.
    DriveIdentity& identity = test.identity;
    identity.number = test.driveNumber;
    identity.path = test.driveSource->Path(test.driveNumber);
    identity.model = kvt->Model;
    identity.serial = kvt->SerialNumber;
    identity.firmware = kvt->FirmwareRevision;
    identity.sizeBytes = static_cast<std::int64_t>(kvt->DiskSize);
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

double RawBitErrorRate(std::uint64_t errorBits, std::uint64_t readSectors) {
    // Both counters are unsigned: convert them as such before the division.
    // No read sectors gives NaN (no error bits) or +inf, which is logged as is.
    return static_cast<double>(errorBits) / (static_cast<double>(readSectors) * 4096.0);
}

bool UpdateDriveStatus(CSSDTest& test) {
    test.previousStatus = test.currentStatus;
    test.lastRefreshAnswered = test.currentStatus.Refresh();
    if (!test.lastRefreshAnswered && !test.smartFailureSaid) {
        Out() << "SMART Read Failed: drive " << test.driveNumber << " (" << test.currentStatus.Model
              << ") did not answer SMART READ DATA" << std::endl;
        test.smartFailureSaid = true;
    }
    const bool changed = TrackedCountersDiffer(test.previousStatus, test.currentStatus);
    test.calculatedRber = RawBitErrorRate(test.currentStatus.TotalErrorBitsFromFlash,
                                          test.currentStatus.TotalReadSectors);
    return changed;
}
