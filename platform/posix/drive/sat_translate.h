// Translation of the Windows SMART pass-through requests (SENDCMDINPARAMS in,
// SENDCMDOUTPARAMS out) to SCSI ATA PASS-THROUGH (16) commands and back. Pure
// functions: no device is touched here, so every byte can be checked in tests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace platform::posix {

constexpr std::uint32_t kSmartSendDriveCommand = 0x7C084;  // non-data SMART commands
constexpr std::uint32_t kSmartRcvDriveData = 0x7C088;      // data-in SMART and IDENTIFY

constexpr std::uint32_t kAtaSectorBytes = 512;
constexpr std::uint32_t kSmartHeaderBytes = 16;  // cBufferSize + DRIVERSTATUS

#pragma pack(push, 1)
/// The ATA task file of a request, as the Windows IDEREGS record lays it out.
struct WireIdeRegs {
    std::uint8_t features;
    std::uint8_t sectorCount;
    std::uint8_t sectorNumber;  // LBA low
    std::uint8_t cylLow;        // LBA mid
    std::uint8_t cylHigh;       // LBA high
    std::uint8_t driveHead;     // device register
    std::uint8_t command;
    std::uint8_t reserved;
};
/// The request's input block (SENDCMDINPARAMS); callers may pass 32 bytes,
/// leaving out the data byte.
struct WireSendCmdIn {
    std::uint32_t bufferSize;
    WireIdeRegs regs;
    std::uint8_t driveNumber;
    std::uint8_t reserved[3];
    std::uint32_t reservedWords[4];
    std::uint8_t data[1];
};
/// The driver status in the answer's header (DRIVERSTATUS).
struct WireDriverStatus {
    std::uint8_t driverError;
    std::uint8_t ideError;
    std::uint8_t reserved[2];
    std::uint32_t reservedWords[2];
};
/// The answer block of a one-sector request (SENDCMDOUTPARAMS).
struct WireSendCmdOut {
    std::uint32_t bufferSize;
    WireDriverStatus status;
    std::uint8_t data[kAtaSectorBytes];
};
#pragma pack(pop)
static_assert(sizeof(WireIdeRegs) == 8, "IDEREGS is 8 bytes");
static_assert(offsetof(WireSendCmdIn, regs) == 4, "task file at byte 4");
static_assert(offsetof(WireSendCmdIn, driveNumber) == 12, "drive number byte at 12");
static_assert(sizeof(WireSendCmdIn) == 33, "SENDCMDINPARAMS is 33 bytes");
static_assert(sizeof(WireDriverStatus) == 12, "DRIVERSTATUS is 12 bytes");
static_assert(offsetof(WireSendCmdOut, data) == kSmartHeaderBytes, "data after the header");
static_assert(sizeof(WireSendCmdOut) == 528, "SENDCMDOUTPARAMS is 528 bytes");

constexpr std::uint32_t kMinSendCmdInBytes = sizeof(WireSendCmdIn) - 1;  // without the data byte

enum class AtaDirection { NonData, DataIn };

/// One ATA PASS-THROUGH (16) command ready for SG_IO.
struct SatCommand {
    std::array<std::uint8_t, 16> cdb{};
    AtaDirection direction = AtaDirection::NonData;
    std::uint32_t dataBytes = 0;  // bytes the device sends back (data-in)
};

/// Builds the pass-through command for a SMART request. Returns false for a
/// control code or ATA command outside the supported set (IDENTIFY DEVICE,
/// SMART READ DATA / READ THRESHOLDS as data-in; SMART ENABLE / DISABLE
/// OPERATIONS as non-data), for a short input block, or for an output block
/// too small for the answer.
bool BuildSatCommand(std::uint32_t controlCode, const void* input, std::uint32_t inputSize,
                     std::uint32_t outputSize, SatCommand* command);

/// What a CHECK CONDITION's sense data says, in either sense format.
struct SenseInfo {
    bool valid = false;  // a known response code was found
    std::uint8_t senseKey = 0;
    std::uint8_t asc = 0;
    std::uint8_t ascq = 0;
    bool hasAtaStatus = false;  // the ATA status return was present
    std::uint8_t ataStatus = 0;
    std::uint8_t ataError = 0;
};

/// Decodes fixed (0x70/0x71) and descriptor (0x72/0x73) sense data, including
/// the ATA status return of a pass-through command. Never reads past `length`.
SenseInfo ParseSense(const std::uint8_t* sense, std::size_t length);

/// The transport's view of a finished SG_IO request.
struct SgOutcome {
    std::uint8_t scsiStatus = 0;     // 0 GOOD, 2 CHECK CONDITION, ...
    std::uint16_t hostStatus = 0;    // 0 when the host adapter saw no error
    std::uint16_t driverStatus = 0;  // 0, or only the "sense present" flag
    const std::uint8_t* sense = nullptr;
    std::size_t senseLength = 0;
    std::uint32_t transferredBytes = 0;  // data bytes that actually arrived
};

/// True when the ATA command completed without error and, for a data-in
/// command, delivered all its bytes. A CHECK CONDITION passes only as the
/// informational "ATA pass-through information available" with a clean ATA
/// status; an illegal request, an aborted command or a device fault fails.
bool SatCommandSucceeded(const SatCommand& command, const SgOutcome& outcome);

/// Writes the Windows answer for a successful command into `output`: the
/// 16-byte header (data size, clean driver status) followed by the data.
/// Returns the byte count the driver reports: 16 + data bytes (16 for a
/// non-data command). `outputSize` must hold it (BuildSatCommand checked it).
std::uint32_t BuildSmartAnswer(const SatCommand& command, const std::uint8_t* data, void* output,
                               std::uint32_t outputSize);

}  // namespace platform::posix
