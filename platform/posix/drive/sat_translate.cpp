// SMART pass-through requests as ATA PASS-THROUGH (16) commands.
#include "platform/posix/drive/sat_translate.h"

#include <algorithm>
#include <cstring>

namespace platform::posix {
namespace {

constexpr std::uint8_t kAtaPassThrough16 = 0x85;
constexpr std::uint8_t kProtocolNonData = 3;
constexpr std::uint8_t kProtocolPioDataIn = 4;
// Byte 2 of the CDB: T_DIR (from the device), BYTE_BLOCK (count in blocks),
// T_LENGTH = 2 (the length sits in the sector count field).
constexpr std::uint8_t kTransferFromDeviceInBlocks = 0x08 | 0x04 | 0x02;

constexpr std::uint8_t kScsiGood = 0x00;
constexpr std::uint8_t kScsiCheckCondition = 0x02;
constexpr std::uint16_t kDriverSenseFlag = 0x08;
constexpr std::uint8_t kSenseNoSense = 0x00;
constexpr std::uint8_t kSenseRecoveredError = 0x01;
constexpr std::uint8_t kAscAtaInfoAvailable = 0x00;
constexpr std::uint8_t kAscqAtaInfoAvailable = 0x1D;
constexpr std::uint8_t kAtaStatusReturnDescriptor = 0x09;
constexpr std::uint8_t kAtaStatusBusy = 0x80;
constexpr std::uint8_t kAtaStatusDeviceFault = 0x20;
constexpr std::uint8_t kAtaStatusError = 0x01;

bool IsSupportedDataIn(const ata::SmartIdeRegs& regs) {
    if (regs.bCommandReg == ata::kCommandIdentify) return true;
    return regs.bCommandReg == ata::kCommandSmart &&
           (regs.bFeaturesReg == ata::kSmartReadData ||
            regs.bFeaturesReg == ata::kSmartReadThresholds);
}

bool IsSupportedNonData(const ata::SmartIdeRegs& regs) {
    return regs.bCommandReg == ata::kCommandSmart &&
           (regs.bFeaturesReg == ata::kSmartEnableOperations ||
            regs.bFeaturesReg == ata::kSmartDisableOperations);
}

bool AtaStatusClean(std::uint8_t status) {
    return (status & (kAtaStatusBusy | kAtaStatusDeviceFault | kAtaStatusError)) == 0;
}

void ParseDescriptorSense(const std::uint8_t* sense, std::size_t length, SenseInfo* info) {
    if (length < 4) return;
    info->valid = true;
    info->senseKey = sense[1] & 0x0F;
    info->asc = sense[2];
    info->ascq = sense[3];
    if (length < 8) return;
    const std::size_t end = std::min<std::size_t>(length, 8u + sense[7]);
    for (std::size_t at = 8; at + 2 <= end;) {
        const std::size_t descriptorBytes = 2u + sense[at + 1];
        if (at + descriptorBytes > end) break;
        if (sense[at] == kAtaStatusReturnDescriptor && descriptorBytes >= 14) {
            info->hasAtaStatus = true;
            info->ataError = sense[at + 3];
            info->ataStatus = sense[at + 13];
        }
        at += descriptorBytes;
    }
}

void ParseFixedSense(const std::uint8_t* sense, std::size_t length, SenseInfo* info) {
    if (length < 3) return;
    info->valid = true;
    info->senseKey = sense[2] & 0x0F;
    if (length < 14) return;
    info->asc = sense[12];
    info->ascq = sense[13];
    // The pass-through return puts ERROR and STATUS in the information field.
    if (info->asc == kAscAtaInfoAvailable && info->ascq == kAscqAtaInfoAvailable) {
        info->hasAtaStatus = true;
        info->ataError = sense[3];
        info->ataStatus = sense[4];
    }
}

}  // namespace

bool BuildSatCommand(std::uint32_t controlCode, const void* input, std::uint32_t inputSize,
                     std::uint32_t outputSize, SatCommand* command) {
    if (input == nullptr || command == nullptr || inputSize < ata::kCommandInMinimumBytes)
        return false;
    ata::SmartCmdInParams in{};
    std::memcpy(&in, input, ata::kCommandInMinimumBytes);
    const ata::SmartIdeRegs& regs = in.irDriveRegs;

    SatCommand built;
    if (controlCode == ata::kSmartRcvDriveData && IsSupportedDataIn(regs)) {
        if (outputSize < ata::kAnswerBytes) return false;
        built.direction = AtaDirection::DataIn;
        built.dataBytes = ata::kPageBytes;
        built.cdb[1] = kProtocolPioDataIn << 1;
        built.cdb[2] = kTransferFromDeviceInBlocks;
        // The transfer length travels in the sector count field: one block,
        // also for IDENTIFY, whose own count register is unused.
        built.cdb[6] = 1;
    } else if (controlCode == ata::kSmartSendDriveCommand && IsSupportedNonData(regs)) {
        if (outputSize < ata::kAnswerHeaderBytes) return false;
        built.direction = AtaDirection::NonData;
        built.cdb[1] = kProtocolNonData << 1;
        built.cdb[6] = regs.bSectorCountReg;
    } else {
        return false;
    }
    built.cdb[0] = kAtaPassThrough16;
    built.cdb[4] = regs.bFeaturesReg;
    built.cdb[8] = regs.bSectorNumberReg;
    built.cdb[10] = regs.bCylLowReg;
    built.cdb[12] = regs.bCylHighReg;
    // The DEV bit picks master or slave on a parallel bus; the pass-through
    // layer addresses the device behind the node itself.
    built.cdb[13] = regs.bDriveHeadReg & static_cast<std::uint8_t>(~ata::kDeviceHeadSlaveBit);
    built.cdb[14] = regs.bCommandReg;
    *command = built;
    return true;
}

SenseInfo ParseSense(const std::uint8_t* sense, std::size_t length) {
    SenseInfo info;
    if (sense == nullptr || length == 0) return info;
    const std::uint8_t responseCode = sense[0] & 0x7F;
    if (responseCode == 0x72 || responseCode == 0x73)
        ParseDescriptorSense(sense, length, &info);
    else if (responseCode == 0x70 || responseCode == 0x71)
        ParseFixedSense(sense, length, &info);
    return info;
}

bool SatCommandSucceeded(const SatCommand& command, const SgOutcome& outcome) {
    if (outcome.hostStatus != 0) return false;
    if ((outcome.driverStatus & ~kDriverSenseFlag) != 0) return false;

    const SenseInfo sense = ParseSense(outcome.sense, outcome.senseLength);
    if (outcome.scsiStatus == kScsiCheckCondition) {
        // Only the informational kinds of sense may accompany a good command.
        if (!sense.valid) return false;
        if (sense.senseKey != kSenseNoSense && sense.senseKey != kSenseRecoveredError) return false;
    } else if (outcome.scsiStatus != kScsiGood) {
        return false;
    }
    if (sense.valid && sense.hasAtaStatus && !AtaStatusClean(sense.ataStatus)) return false;

    if (command.direction == AtaDirection::DataIn && outcome.transferredBytes != command.dataBytes)
        return false;
    return true;
}

std::uint32_t BuildSmartAnswer(const SatCommand& command, const std::uint8_t* data, void* output,
                               std::uint32_t outputSize) {
    const std::uint32_t dataBytes =
        command.direction == AtaDirection::DataIn ? command.dataBytes : 0;
    const std::uint32_t answerBytes = ata::kAnswerHeaderBytes + dataBytes;
    if (output == nullptr || outputSize < answerBytes) return 0;
    auto* out = static_cast<std::uint8_t*>(output);
    std::memset(out, 0, answerBytes);
    ata::PutAnswerHeader(out, dataBytes);  // a clean driver status
    if (dataBytes > 0 && data != nullptr)
        std::memcpy(out + ata::kAnswerHeaderBytes, data, dataBytes);
    return answerBytes;
}

}  // namespace platform::posix
