// The NVMe channel: Identify and Get Log Page sent as storage queries
// (platform/nvme_wire.h) through the device control service. Every call opens
// and closes its own handle; failures are a false result plus a trace note.
#pragma once

#include <cstdint>
#include <string>

#include "platform/drive_number.h"

/// What Identify Controller and Identify Namespace tell of a drive.
struct NvmeIdentity {
    std::string model;
    std::string serial;
    std::string firmware;
    std::uint64_t sizeBytes = 0;  ///< namespace size in blocks times the block size
    std::uint32_t blockBytes = 0;
    std::uint16_t enduranceGroup = 0;  ///< 0: the namespace belongs to none
};

/// True when the drive answers Identify Controller; a drive that does not
/// (any SATA drive) leaves no trace note.
bool IsNvmeDrive(platform::DriveNumber driveNumber);
/// Identify (CNS `cns`, namespace `nsid`) into a 4096-byte page; true when the
/// whole page came back.
bool NvmeIdentify(platform::DriveNumber driveNumber, std::uint8_t cns, std::uint32_t nsid,
                  std::uint8_t* page);
/// Get Log Page `logId` (512 bytes; `specific` is the endurance group for log
/// 09h) into `log`; true when the whole log came back. A failure leaves a
/// trace note unless `optional` (a log the drive need not offer).
bool NvmeReadLog(platform::DriveNumber driveNumber, std::uint8_t logId, std::uint16_t specific,
                 std::uint8_t* log, bool optional = false);
/// Both Identify pages decoded; false when either read fails or the
/// namespace's block size is not a power of two from 512 bytes to 64 KiB.
bool GetNvmeIdentity(platform::DriveNumber driveNumber, NvmeIdentity* identity);
/// An Identify text field: up to `width` bytes, trailing spaces and NULs cut,
/// leading spaces dropped.
std::string NvmeText(const std::uint8_t* field, int width);
