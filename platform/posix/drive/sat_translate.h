// Translation of the SMART pass-through requests (platform/ata_wire.h: the
// command input block in, the answer block out) to SCSI ATA PASS-THROUGH (16)
// commands and back. Pure
// functions: no device is touched here, so every byte can be checked in tests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/ata_wire.h"

namespace platform::posix {

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
