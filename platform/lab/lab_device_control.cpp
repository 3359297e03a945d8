// Device control service of the lab: the SMART pass-through requests in their
// Windows form, answered by the drive's emulated controller.
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/ata_wire.h"
#include "platform/device_control.h"
#include "platform/lab/lab_drive.h"
#include "platform/nvme_wire.h"

namespace platform {

struct ControlHandle {
    std::shared_ptr<lab::LabDrive> drive;
};

namespace {

bool Refuse(int code, std::uint32_t* bytesReturned) {
    *bytesReturned = 0;
    errno = code;
    return false;
}

/// The header alone, carrying the drive's rejection: the call succeeds but
/// returns no data, as a driver passing on an aborted command does.
bool ReturnAborted(std::uint8_t* out, std::uint32_t* bytesReturned) {
    ata::PutAnswerHeader(out, 0, ata::kDriverErrorIde, ata::kIdeErrorAbort);
    *bytesReturned = ata::kAnswerHeaderBytes;
    return true;
}

// The storage query of an nvme drive: Identify or Get Log Page, the answer
// written over the query as the system's driver does.
bool AnswerNvmeQuery(lab::LabDrive& drive, const void* input, std::uint32_t inputSize, void* output,
                     std::uint32_t outputSize, std::uint32_t* bytesReturned) {
    nvme::StorageQuery query{};
    if (input == nullptr || output == nullptr || inputSize < sizeof query)
        return Refuse(EINVAL, bytesReturned);
    std::memcpy(&query, input, sizeof query);
    const nvme::ProtocolSpecificData& asked = query.protocol;
    const std::uint32_t wanted =
        asked.dataType == nvme::kDataTypeIdentify ? nvme::kIdentifyBytes : nvme::kLogBytes;
    if (query.protocol.protocolType != nvme::kProtocolTypeNvme ||
        asked.dataOffset != sizeof(nvme::ProtocolSpecificData) || asked.dataLength < wanted ||
        outputSize < nvme::kQueryDataOffset + wanted)
        return Refuse(EINVAL, bytesReturned);
    auto* out = static_cast<std::uint8_t*>(output);
    std::uint8_t* data = out + nvme::kQueryDataOffset;
    bool answered = false;
    if (asked.dataType == nvme::kDataTypeIdentify) {
        answered = drive.ReadNvmeIdentify(static_cast<std::uint8_t>(asked.requestValue), data);
    } else if (asked.dataType == nvme::kDataTypeLogPage) {
        answered = drive.ReadNvmeLog(static_cast<std::uint8_t>(asked.requestValue),
                                     static_cast<std::uint16_t>(asked.requestSubValue4), data);
    }
    if (!answered) return Refuse(EIO, bytesReturned);
    nvme::ProtocolDataDescriptor answer{};
    answer.version = sizeof answer;
    answer.size = sizeof answer;
    answer.protocol = asked;
    answer.protocol.dataLength = wanted;
    std::memcpy(out, &answer, sizeof answer);
    *bytesReturned = nvme::kQueryDataOffset + wanted;
    return true;
}

bool ReturnPage(std::uint8_t* out, std::uint32_t* bytesReturned) {
    ata::PutAnswerHeader(out, ata::kPageBytes);
    *bytesReturned = ata::kAnswerBytes;
    return true;
}

}  // namespace

ControlHandle* OpenControlHandle(platform::DriveNumber driveNumber) {
    if (driveNumber == kNoDrive) {
        errno = ENOENT;
        return nullptr;
    }
    std::uint32_t error = 0;
    std::shared_ptr<lab::LabDrive> drive =
        lab::LabDrive::Acquire(static_cast<std::uint32_t>(driveNumber), &error);
    if (!drive) {
        errno = static_cast<int>(error);
        return nullptr;
    }
    return new ControlHandle{std::move(drive)};
}

void CloseControlHandle(ControlHandle* handle) { delete handle; }

bool DeviceControl(ControlHandle* handle, std::uint32_t controlCode, const void* input,
                   std::uint32_t inputSize, void* output, std::uint32_t outputSize,
                   std::uint32_t* bytesReturned) {
    std::uint32_t ignored = 0;
    if (bytesReturned == nullptr) bytesReturned = &ignored;
    if (handle == nullptr) return Refuse(EBADF, bytesReturned);
    // An nvme drive has no ATA pass-through, a SATA drive no NVMe queries.
    const bool nvmeDrive = handle->drive->Config().kind == lab::DriveKind::Nvme;
    if (controlCode == nvme::kQueryStorageProperty && nvmeDrive)
        return AnswerNvmeQuery(*handle->drive, input, inputSize, output, outputSize, bytesReturned);
    if (nvmeDrive) return Refuse(ENOTTY, bytesReturned);
    if (controlCode != ata::kSmartSendDriveCommand && controlCode != ata::kSmartRcvDriveData)
        return Refuse(ENOTTY, bytesReturned);
    if (input == nullptr || inputSize < ata::kCommandInMinimumBytes || output == nullptr ||
        outputSize < ata::kAnswerHeaderBytes)
        return Refuse(EINVAL, bytesReturned);

    ata::SmartCmdInParams in{};
    std::memcpy(&in, input, ata::kCommandInMinimumBytes);
    auto* out = static_cast<std::uint8_t*>(output);
    ata::PutAnswerHeader(out, 0);
    const std::uint8_t command = in.irDriveRegs.bCommandReg;
    const std::uint8_t features = in.irDriveRegs.bFeaturesReg;
    const bool smartSignature = in.irDriveRegs.bCylLowReg == ata::kSmartCylLow &&
                                in.irDriveRegs.bCylHighReg == ata::kSmartCylHigh;
    lab::LabDrive& drive = *handle->drive;

    if (controlCode == ata::kSmartSendDriveCommand) {
        if (command != ata::kCommandSmart || !smartSignature) return Refuse(EINVAL, bytesReturned);
        if (features == ata::kSmartEnableOperations) {
            if (!drive.EnableSmart()) return Refuse(EIO, bytesReturned);
            *bytesReturned = ata::kAnswerHeaderBytes;
            return true;
        }
        if (features == ata::kSmartDisableOperations) {
            *bytesReturned = ata::kAnswerHeaderBytes;
            return true;
        }
        return Refuse(EINVAL, bytesReturned);
    }

    // SMART_RCV_DRIVE_DATA: a data-in command with a 512-byte page.
    if (outputSize < ata::kAnswerBytes) return Refuse(EINVAL, bytesReturned);
    std::uint8_t* page = out + ata::kAnswerHeaderBytes;
    std::memset(page, 0, ata::kPageBytes);
    if (command == ata::kCommandIdentify) {
        if (!drive.ReadIdentifyPage(page)) return ReturnAborted(out, bytesReturned);
        return ReturnPage(out, bytesReturned);
    }
    if (command == ata::kCommandSmart && smartSignature && features == ata::kSmartReadData) {
        if (!drive.ReadSmartPage(page)) return ReturnAborted(out, bytesReturned);
        return ReturnPage(out, bytesReturned);
    }
    return Refuse(EINVAL, bytesReturned);
}

}  // namespace platform
