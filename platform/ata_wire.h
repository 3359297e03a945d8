// The ATA SMART wire protocol as the drive's control requests carry it: the two
// request codes, the packed command input block and answer block, the task-file
// values of SMART and IDENTIFY DEVICE, the layouts of the 512-byte SMART READ
// DATA and IDENTIFY pages, and the attribute ids of the recognised drive kinds.
// The channel builds these bytes, the SAT translation and the lab read them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::ata {

// ---- request codes ------------------------------------------------------------

constexpr std::uint32_t kSmartSendDriveCommand = 0x7C084;  // non-data SMART commands
constexpr std::uint32_t kSmartRcvDriveData = 0x7C088;      // data-in SMART and IDENTIFY

// ---- task-file values -----------------------------------------------------------

constexpr std::uint8_t kCommandSmart = 0xB0;
constexpr std::uint8_t kCommandIdentify = 0xEC;
// SMART features.
constexpr std::uint8_t kSmartReadData = 0xD0;
constexpr std::uint8_t kSmartReadThresholds = 0xD1;
constexpr std::uint8_t kSmartEnableOperations = 0xD8;
constexpr std::uint8_t kSmartDisableOperations = 0xD9;
// The SMART signature in the cylinder registers (LBA mid and high).
constexpr std::uint8_t kSmartCylLow = 0x4F;
constexpr std::uint8_t kSmartCylHigh = 0xC2;
// The device register: master, and the DEV bit that picks the slave.
constexpr std::uint8_t kDeviceHeadMaster = 0xA0;
constexpr std::uint8_t kDeviceHeadSlaveBit = 0x10;
// Driver status of an answer: the drive rejected the command, and why.
constexpr std::uint8_t kDriverErrorIde = 1;
constexpr std::uint8_t kIdeErrorAbort = 0x04;

// ---- blocks ---------------------------------------------------------------------

/// Bytes of one sector, and of the SMART READ DATA and IDENTIFY pages.
constexpr std::uint32_t kPageBytes = 512;

#pragma pack(push, 1)
/// The ATA task file of a request.
struct SmartIdeRegs {
    std::uint8_t bFeaturesReg;
    std::uint8_t bSectorCountReg;
    std::uint8_t bSectorNumberReg;  // LBA low
    std::uint8_t bCylLowReg;        // LBA mid
    std::uint8_t bCylHighReg;       // LBA high
    std::uint8_t bDriveHeadReg;     // device register
    std::uint8_t bCommandReg;
    std::uint8_t bReserved;
};
/// The request's input block; callers may pass it without the data byte.
struct SmartCmdInParams {
    std::uint32_t cBufferSize;
    SmartIdeRegs irDriveRegs;
    std::uint8_t bDriveNumber;
    std::uint8_t bReserved[3];
    std::uint32_t dwReserved[4];
    std::uint8_t bBuffer[1];
};
/// The driver status in the answer's header.
struct SmartDriverStatus {
    std::uint8_t bDriverError;
    std::uint8_t bIDEError;
    std::uint8_t bReserved[2];
    std::uint32_t dwReserved[2];
};
/// The answer to a one-sector request: the 16-byte header, then the page.
struct SmartCmdOutParams {
    std::uint32_t cBufferSize;
    SmartDriverStatus DriverStatus;
    std::uint8_t bBuffer[kPageBytes];
};
#pragma pack(pop)

constexpr std::uint32_t kCommandInBytes = sizeof(SmartCmdInParams);
constexpr std::uint32_t kCommandInMinimumBytes = kCommandInBytes - 1;  // without the data byte
constexpr std::uint32_t kAnswerHeaderBytes = offsetof(SmartCmdOutParams, bBuffer);
constexpr std::uint32_t kAnswerBytes = sizeof(SmartCmdOutParams);

static_assert(sizeof(SmartIdeRegs) == 8, "task file is 8 bytes");
static_assert(offsetof(SmartIdeRegs, bCommandReg) == 6, "command register at byte 6");
static_assert(offsetof(SmartCmdInParams, irDriveRegs) == 4, "task file at byte 4");
static_assert(offsetof(SmartCmdInParams, bDriveNumber) == 12, "drive number byte at 12");
static_assert(offsetof(SmartCmdInParams, bBuffer) == 32, "data byte at 32");
static_assert(kCommandInBytes == 33, "input block is 33 bytes");
static_assert(sizeof(SmartDriverStatus) == 12, "driver status is 12 bytes");
static_assert(offsetof(SmartCmdOutParams, DriverStatus) == 4, "driver status at byte 4");
static_assert(kAnswerHeaderBytes == 16, "answer header is 16 bytes");
static_assert(kAnswerBytes == 528, "one-sector answer is 528 bytes");

/// Writes an answer header: the little-endian data size, then the driver
/// status with the given error bytes and the rest 0. `out` holds 16 bytes.
inline void PutAnswerHeader(std::uint8_t* out, std::uint32_t dataBytes,
                            std::uint8_t driverError = 0, std::uint8_t ideError = 0) {
    for (std::uint32_t i = 0; i < kAnswerHeaderBytes; ++i) out[i] = 0;
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(dataBytes >> (8 * i));
    out[offsetof(SmartCmdOutParams, DriverStatus) + offsetof(SmartDriverStatus, bDriverError)] =
        driverError;
    out[offsetof(SmartCmdOutParams, DriverStatus) + offsetof(SmartDriverStatus, bIDEError)] =
        ideError;
}

// ---- SMART READ DATA page ---------------------------------------------------------

// The attribute table follows the two-byte data structure revision.
constexpr int kAttributeTableOffset = 2;
constexpr int kAttributeSlots = 30;
constexpr int kAttributeEntryBytes = 12;
// Entry bytes: id, two flag bytes, normalised and worst value, six raw bytes.
constexpr int kEntryId = 0;
constexpr int kEntryFlags = 1;
constexpr int kEntryValue = 3;
constexpr int kEntryWorst = 4;
constexpr int kEntryRaw = 5;
constexpr int kEntryRawBytes = 6;
// What follows the table.
constexpr int kOfflineStatusOffset = 362;
constexpr int kOfflineSecondsOffset = 364;  // two bytes
constexpr int kOfflineCapabilitiesOffset = 367;
constexpr int kSmartCapabilitiesOffset = 368;  // two bytes
constexpr int kErrorLoggingOffset = 370;
constexpr int kShortTestMinutesOffset = 372;
constexpr int kExtendedTestMinutesOffset = 373;
// The last byte makes all 512 add up to 0 modulo 256 (also on the IDENTIFY page).
constexpr int kChecksumOffset = 511;

static_assert(kEntryRaw + kEntryRawBytes < kAttributeEntryBytes, "raw value inside the entry");
static_assert(kAttributeTableOffset + kAttributeSlots * kAttributeEntryBytes ==
                  kOfflineStatusOffset,
              "the table ends where the off-line status begins");
static_assert(kChecksumOffset == static_cast<int>(kPageBytes) - 1, "checksum is the last byte");

// ---- IDENTIFY page -----------------------------------------------------------------

// Text fields: byte offset and width, two characters per word, the first in
// the high byte, padded with spaces.
constexpr int kIdentifySerialOffset = 20;  // words 10-19
constexpr int kIdentifySerialBytes = 20;
constexpr int kIdentifyFirmwareOffset = 46;  // words 23-26
constexpr int kIdentifyFirmwareBytes = 8;
constexpr int kIdentifyModelOffset = 54;  // words 27-46
constexpr int kIdentifyModelBytes = 40;
// Words: SMART supported (bit 0 of word 82) and enabled (bit 0 of word 85),
// and the integrity word (signature 0xA5 in the low byte, then the checksum).
constexpr int kIdentifyCommandSetWord = 82;
constexpr int kIdentifyCommandSetEnabledWord = 85;
constexpr int kIdentifyIntegrityWord = 255;
constexpr std::uint8_t kIdentifyIntegritySignature = 0xA5;

static_assert(kIdentifyFirmwareOffset == kIdentifySerialOffset + kIdentifySerialBytes + 6,
              "three words between serial and firmware");
static_assert(kIdentifyModelOffset == kIdentifyFirmwareOffset + kIdentifyFirmwareBytes,
              "model follows the firmware");
static_assert(2 * kIdentifyIntegrityWord + 1 == kChecksumOffset, "integrity word ends the page");

// ---- attribute ids ------------------------------------------------------------------

// The usual ids both kinds report.
constexpr std::uint8_t kRawReadErrorRate = 1;
constexpr std::uint8_t kPowerOnHours = 9;
constexpr std::uint8_t kPowerCycleCount = 12;

/// The supported kind: each value spans entry bytes 3 to 10, little-endian.
namespace kvt {
constexpr std::uint8_t kInitialBadBlocks = 184;
constexpr std::uint8_t kProgramFailureBlocks = 195;
constexpr std::uint8_t kEraseFailureBlocks = 196;
constexpr std::uint8_t kReadFailureBlocks = 197;
constexpr std::uint8_t kTotalReadSectors = 198;
constexpr std::uint8_t kTotalWriteSectors = 199;
constexpr std::uint8_t kTotalReadCommands = 200;
constexpr std::uint8_t kTotalWriteCommands = 201;
constexpr std::uint8_t kErrorBitsFromFlash = 202;
constexpr std::uint8_t kCorrectableReadSectors = 203;
constexpr std::uint8_t kBadBlockFullFlag = 204;
constexpr std::uint8_t kMaximumPeCount = 205;  // rated program/erase cycles
constexpr std::uint8_t kMinimumEraseCount = 206;
constexpr std::uint8_t kMaximumEraseCount = 207;
constexpr std::uint8_t kAverageEraseCount = 208;
constexpr std::uint8_t kLifeLeftPercent = 209;
constexpr std::uint8_t kBbmErrorLog = 210;
constexpr std::uint8_t kSataCrcErrors = 211;
constexpr std::uint8_t kSataHandshakeErrors = 212;
constexpr std::uint8_t kSataLinkStatus = 213;

/// The ids a drive of this kind always reports.
inline constexpr std::uint8_t kSignatureIds[] = {
    kRawReadErrorRate,       kPowerOnHours,       kPowerCycleCount,    kInitialBadBlocks,
    kProgramFailureBlocks,   kEraseFailureBlocks, kReadFailureBlocks,  kTotalReadSectors,
    kTotalWriteSectors,      kTotalReadCommands,  kTotalWriteCommands, kErrorBitsFromFlash,
    kCorrectableReadSectors, kBadBlockFullFlag,   kMaximumPeCount,     kMinimumEraseCount,
    kMaximumEraseCount,      kAverageEraseCount,  kLifeLeftPercent};
}  // namespace kvt

/// The second kind: vendor attributes with big-endian fields in entry bytes 4 to 10.
namespace rzb {
constexpr std::uint8_t kControllerRevision = 229;
constexpr std::uint8_t kSpareBlocks = 232;
constexpr std::uint8_t kEccFail = 233;      // count, address, channel, bank
constexpr std::uint8_t kEraseCounts = 234;  // average and maximum
constexpr std::uint8_t kBlockCounts = 235;  // good and system blocks

/// The ids a drive of this kind always reports.
inline constexpr std::uint8_t kSignatureIds[] = {
    kPowerCycleCount, kControllerRevision, kSpareBlocks, kEccFail, kEraseCounts, kBlockCounts};
}  // namespace rzb

}  // namespace platform::ata
