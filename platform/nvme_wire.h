// The NVMe admin wire protocol as the tool uses it: the admin command block,
// the Identify Controller and Identify Namespace fields read, the SMART /
// Health Information log (02h), the Endurance Group Information log (09h) and
// the datacenter extended SMART log (C0h), and the Windows storage query that
// carries Identify and Get Log Page requests. The NVMe channel builds these
// bytes; the Linux admin pass-through and the lab read them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::nvme {

// ---- admin commands ----------------------------------------------------------------

constexpr std::uint8_t kOpcodeGetLogPage = 0x02;
constexpr std::uint8_t kOpcodeIdentify = 0x06;
// Identify CNS values.
constexpr std::uint8_t kCnsNamespace = 0x00;
constexpr std::uint8_t kCnsController = 0x01;
// Log page identifiers.
constexpr std::uint8_t kLogHealth = 0x02;
constexpr std::uint8_t kLogEnduranceGroup = 0x09;
constexpr std::uint8_t kLogDatacenterSmart = 0xC0;
/// The broadcast namespace id: the controller as a whole.
constexpr std::uint32_t kNamespaceAll = 0xFFFFFFFF;

/// Bytes of an Identify page and of each log read.
constexpr std::uint32_t kIdentifyBytes = 4096;
constexpr std::uint32_t kLogBytes = 512;

#pragma pack(push, 1)
/// The admin pass-through block of the Linux NVMe driver (its 72-byte form).
struct AdminCommand {
    std::uint8_t opcode;
    std::uint8_t flags;
    std::uint16_t reserved1;
    std::uint32_t nsid;
    std::uint32_t cdw2;
    std::uint32_t cdw3;
    std::uint64_t metadata;
    std::uint64_t addr;
    std::uint32_t metadataLength;
    std::uint32_t dataLength;
    std::uint32_t cdw10;
    std::uint32_t cdw11;
    std::uint32_t cdw12;
    std::uint32_t cdw13;
    std::uint32_t cdw14;
    std::uint32_t cdw15;
    std::uint32_t timeoutMs;
    std::uint32_t result;
};
#pragma pack(pop)

static_assert(sizeof(AdminCommand) == 72, "admin command block is 72 bytes");
static_assert(offsetof(AdminCommand, nsid) == 4, "namespace id at byte 4");
static_assert(offsetof(AdminCommand, metadata) == 16, "metadata pointer at byte 16");
static_assert(offsetof(AdminCommand, addr) == 24, "data pointer at byte 24");
static_assert(offsetof(AdminCommand, metadataLength) == 32, "metadata length at byte 32");
static_assert(offsetof(AdminCommand, dataLength) == 36, "data length at byte 36");
static_assert(offsetof(AdminCommand, cdw10) == 40, "dword 10 at byte 40");
static_assert(offsetof(AdminCommand, cdw15) == 60, "dword 15 at byte 60");
static_assert(offsetof(AdminCommand, timeoutMs) == 64, "time-out at byte 64");
static_assert(offsetof(AdminCommand, result) == 68, "result at byte 68");

/// Dword 10 of Get Log Page: the log id and the number of dwords less one
/// (lower 16 bits in bits 16-31 of dword 10, upper 16 bits in dword 11).
constexpr std::uint32_t LogPageDword10(std::uint8_t logId, std::uint32_t bytes) {
    return logId | (((bytes / 4 - 1) & 0xFFFFu) << 16);
}
constexpr std::uint32_t LogPageDword11(std::uint32_t bytes) { return (bytes / 4 - 1) >> 16; }

// ---- Identify Controller (CNS 01h) -------------------------------------------------

// Text fields: ASCII, padded with spaces, not terminated.
constexpr int kCtrlSerialOffset = 4;
constexpr int kCtrlSerialBytes = 20;
constexpr int kCtrlModelOffset = 24;
constexpr int kCtrlModelBytes = 40;
constexpr int kCtrlFirmwareOffset = 64;
constexpr int kCtrlFirmwareBytes = 8;
/// Controller attributes; bit 4: endurance groups supported.
constexpr int kCtrlAttributesOffset = 96;
constexpr std::uint32_t kCtrlAttributeEnduranceGroups = 1u << 4;
/// Log page attributes (one byte).
constexpr int kCtrlLogAttributesOffset = 261;
/// Total NVM capacity, 16 bytes little-endian.
constexpr int kCtrlTotalCapacityOffset = 280;
/// Highest endurance group id (two bytes).
constexpr int kCtrlEnduranceGroupMaxOffset = 340;
/// Number of namespaces (four bytes).
constexpr int kCtrlNamespaceCountOffset = 516;

static_assert(kCtrlSerialOffset + kCtrlSerialBytes == kCtrlModelOffset, "model follows serial");
static_assert(kCtrlModelOffset + kCtrlModelBytes == kCtrlFirmwareOffset, "firmware follows model");

// ---- Identify Namespace (CNS 00h) --------------------------------------------------

constexpr int kNsSizeOffset = 0;  // blocks, eight bytes
constexpr int kNsCapacityOffset = 8;
constexpr int kNsUsedOffset = 16;
constexpr int kNsFormatCountOffset = 25;      // number of LBA formats less one
constexpr int kNsFormattedLbaOffset = 26;     // bits 0-3 (and 5-6): the format in use
constexpr int kNsEnduranceGroupOffset = 102;  // two bytes
constexpr int kNsLbaFormatsOffset = 128;
constexpr int kNsLbaFormatBytes = 4;
// In each format: metadata bytes (two), block size as a power of two, relative performance.
constexpr int kLbaFormatMetadataBytes = 0;
constexpr int kLbaFormatDataShift = 2;
constexpr int kNsLbaFormatSlots = 64;

static_assert(kNsLbaFormatsOffset + kNsLbaFormatSlots * kNsLbaFormatBytes == 384,
              "the 64 formats end at byte 384");

// ---- logs -----------------------------------------------------------------------------

#pragma pack(push, 1)
/// SMART / Health Information (02h). Counters are 16 bytes little-endian.
struct HealthLog {
    std::uint8_t criticalWarning;
    std::uint8_t temperatureKelvin[2];
    std::uint8_t availableSpare;
    std::uint8_t availableSpareThreshold;
    std::uint8_t percentageUsed;
    std::uint8_t enduranceGroupWarnings;
    std::uint8_t reserved7[25];
    std::uint8_t dataUnitsRead[16];  // thousands of 512-byte units
    std::uint8_t dataUnitsWritten[16];
    std::uint8_t hostReadCommands[16];
    std::uint8_t hostWriteCommands[16];
    std::uint8_t controllerBusyMinutes[16];
    std::uint8_t powerCycles[16];
    std::uint8_t powerOnHours[16];
    std::uint8_t unsafeShutdowns[16];
    std::uint8_t mediaErrors[16];  // media and data integrity errors
    std::uint8_t errorLogEntries[16];
    std::uint8_t warningTemperatureMinutes[4];
    std::uint8_t criticalTemperatureMinutes[4];
    std::uint8_t temperatureSensors[16];
    std::uint8_t thermalCounters[16];
    std::uint8_t reserved232[280];
};

/// Endurance Group Information (09h), read for the namespace's group.
struct EnduranceGroupLog {
    std::uint8_t criticalWarning;
    std::uint8_t reserved1[2];
    std::uint8_t availableSpare;
    std::uint8_t availableSpareThreshold;
    std::uint8_t percentageUsed;
    std::uint8_t reserved6[26];
    std::uint8_t enduranceEstimate[16];
    std::uint8_t dataUnitsRead[16];
    std::uint8_t dataUnitsWritten[16];
    std::uint8_t mediaUnitsWritten[16];
    std::uint8_t hostReadCommands[16];
    std::uint8_t hostWriteCommands[16];
    std::uint8_t mediaErrors[16];
    std::uint8_t errorLogEntries[16];
    std::uint8_t reserved160[352];
};

/// Datacenter extended SMART log (C0h); recognised by its GUID at the end.
struct DatacenterSmartLog {
    std::uint8_t physicalMediaUnitsWritten[16];  // bytes
    std::uint8_t physicalMediaUnitsRead[16];
    std::uint8_t badUserNandBlocks[8];  // six-byte raw count, two-byte normalised
    std::uint8_t badSystemNandBlocks[8];
    std::uint8_t xorRecoveryCount[8];
    std::uint8_t uncorrectableReadErrors[8];
    std::uint8_t softEccErrors[8];
    std::uint8_t endToEndCorrections[8];
    std::uint8_t systemDataPercentUsed;
    std::uint8_t refreshCounts[7];
    std::uint8_t maximumUserDataEraseCount[4];
    std::uint8_t minimumUserDataEraseCount[4];
    std::uint8_t thermalThrottling[2];
    std::uint8_t reserved98[396];
    std::uint8_t logPageVersion[2];
    std::uint8_t logPageGuid[16];
};
#pragma pack(pop)

static_assert(sizeof(HealthLog) == kLogBytes, "health log is 512 bytes");
static_assert(offsetof(HealthLog, percentageUsed) == 5, "percentage used at byte 5");
static_assert(offsetof(HealthLog, dataUnitsRead) == 32, "data units read at byte 32");
static_assert(offsetof(HealthLog, dataUnitsWritten) == 48, "data units written at byte 48");
static_assert(offsetof(HealthLog, hostReadCommands) == 64, "host reads at byte 64");
static_assert(offsetof(HealthLog, hostWriteCommands) == 80, "host writes at byte 80");
static_assert(offsetof(HealthLog, powerCycles) == 112, "power cycles at byte 112");
static_assert(offsetof(HealthLog, powerOnHours) == 128, "power-on hours at byte 128");
static_assert(offsetof(HealthLog, unsafeShutdowns) == 144, "unsafe shutdowns at byte 144");
static_assert(offsetof(HealthLog, mediaErrors) == 160, "media errors at byte 160");
static_assert(offsetof(HealthLog, errorLogEntries) == 176, "error log entries at byte 176");
static_assert(offsetof(HealthLog, warningTemperatureMinutes) == 192, "thermal times at 192");
static_assert(offsetof(HealthLog, reserved232) == 232, "reserved from byte 232");

static_assert(sizeof(EnduranceGroupLog) == kLogBytes, "endurance group log is 512 bytes");
static_assert(offsetof(EnduranceGroupLog, percentageUsed) == 5, "percentage used at byte 5");
static_assert(offsetof(EnduranceGroupLog, enduranceEstimate) == 32, "estimate at byte 32");
static_assert(offsetof(EnduranceGroupLog, dataUnitsWritten) == 64, "units written at 64");
static_assert(offsetof(EnduranceGroupLog, mediaUnitsWritten) == 80, "media units at 80");
static_assert(offsetof(EnduranceGroupLog, mediaErrors) == 128, "media errors at byte 128");
static_assert(offsetof(EnduranceGroupLog, reserved160) == 160, "reserved from byte 160");

static_assert(sizeof(DatacenterSmartLog) == kLogBytes, "datacenter log is 512 bytes");
static_assert(offsetof(DatacenterSmartLog, physicalMediaUnitsRead) == 16, "media read at 16");
static_assert(offsetof(DatacenterSmartLog, badUserNandBlocks) == 32, "bad user blocks at 32");
static_assert(offsetof(DatacenterSmartLog, badSystemNandBlocks) == 40, "bad system blocks at 40");
static_assert(offsetof(DatacenterSmartLog, uncorrectableReadErrors) == 56, "uncorrectable at 56");
static_assert(offsetof(DatacenterSmartLog, softEccErrors) == 64, "soft ECC errors at 64");
static_assert(offsetof(DatacenterSmartLog, maximumUserDataEraseCount) == 88, "max erase at 88");
static_assert(offsetof(DatacenterSmartLog, minimumUserDataEraseCount) == 92, "min erase at 92");
static_assert(offsetof(DatacenterSmartLog, logPageVersion) == 494, "version at byte 494");
static_assert(offsetof(DatacenterSmartLog, logPageGuid) == 496, "GUID at byte 496");

/// The datacenter log's GUID as stored (byte 496 first).
constexpr std::uint8_t kDatacenterLogGuid[16] = {0xC5, 0xAF, 0x10, 0x28, 0xEA, 0xBF, 0xF2, 0xA4,
                                                 0x9C, 0x4F, 0x6F, 0x7C, 0xC9, 0x14, 0xD5, 0xAF};

/// A little-endian counter of `bytes` bytes (up to 16), saturated at the
/// largest 64-bit value when its upper bytes are set.
inline std::uint64_t LittleEndian(const std::uint8_t* field, int bytes) {
    for (int i = 8; i < bytes; ++i) {
        if (field[i] != 0) return ~std::uint64_t{0};
    }
    std::uint64_t value = 0;
    for (int i = (bytes < 8 ? bytes : 8) - 1; i >= 0; --i) value = (value << 8) | field[i];
    return value;
}

/// Stores `value` little-endian in `bytes` bytes (the upper ones zeroed).
inline void PutLittleEndian(std::uint8_t* field, int bytes, std::uint64_t value) {
    for (int i = 0; i < bytes; ++i) {
        field[i] = i < 8 ? static_cast<std::uint8_t>(value >> (8 * i)) : std::uint8_t{0};
    }
}

// ---- the Windows storage query --------------------------------------------------------

/// The storage query control code; Identify and Get Log Page travel in it.
constexpr std::uint32_t kQueryStorageProperty = 0x002D1400;
// Property ids: the protocol data of the device (namespace) and of the adapter
// (controller), and the standard query type.
constexpr std::uint32_t kPropertyDeviceProtocolSpecific = 50;
constexpr std::uint32_t kPropertyAdapterProtocolSpecific = 49;
constexpr std::uint32_t kQueryStandard = 0;
constexpr std::uint32_t kProtocolTypeNvme = 3;
constexpr std::uint32_t kDataTypeIdentify = 1;
constexpr std::uint32_t kDataTypeLogPage = 2;

#pragma pack(push, 1)
/// What to fetch: Identify (value = CNS, sub value = namespace id) or a log
/// page (value = log id, sub values = offset low and high). The data follows
/// at `dataOffset`, counted from the start of this block.
struct ProtocolSpecificData {
    std::uint32_t protocolType;
    std::uint32_t dataType;
    std::uint32_t requestValue;
    std::uint32_t requestSubValue;
    std::uint32_t dataOffset;
    std::uint32_t dataLength;
    std::uint32_t fixedReturnData;
    std::uint32_t requestSubValue2;
    std::uint32_t requestSubValue3;
    std::uint32_t requestSubValue4;
};
/// The query: property id, query type, then the protocol block and its data.
struct StorageQuery {
    std::uint32_t propertyId;
    std::uint32_t queryType;
    ProtocolSpecificData protocol;
};
/// The answer: version and size, the protocol block, then the data.
struct ProtocolDataDescriptor {
    std::uint32_t version;
    std::uint32_t size;
    ProtocolSpecificData protocol;
};
#pragma pack(pop)

static_assert(sizeof(ProtocolSpecificData) == 40, "protocol block is 40 bytes");
static_assert(offsetof(ProtocolSpecificData, dataOffset) == 16, "data offset at byte 16");
static_assert(offsetof(ProtocolSpecificData, dataLength) == 20, "data length at byte 20");
static_assert(offsetof(ProtocolSpecificData, requestSubValue4) == 36, "sub value 4 at byte 36");
static_assert(sizeof(StorageQuery) == 48, "query header and protocol block are 48 bytes");
static_assert(offsetof(StorageQuery, protocol) == 8, "protocol block at byte 8");
static_assert(sizeof(ProtocolDataDescriptor) == 48, "answer header is 48 bytes");
static_assert(offsetof(ProtocolDataDescriptor, protocol) == 8, "protocol block at byte 8");

/// Where the data begins in a query and in its answer, and their whole sizes.
constexpr std::uint32_t kQueryDataOffset = sizeof(StorageQuery);
constexpr std::uint32_t kQueryIdentifyBytes = kQueryDataOffset + kIdentifyBytes;
constexpr std::uint32_t kQueryLogBytes = kQueryDataOffset + kLogBytes;
static_assert(offsetof(StorageQuery, protocol) + sizeof(ProtocolSpecificData) == kQueryDataOffset,
              "the data follows the protocol block");

}  // namespace platform::nvme
