// The NVMe wire records laid next to an independent definition of the same
// protocol (the libnvme headers): same sizes, same field offsets.
#include "platform/nvme_wire.h"

#include <gtest/gtest.h>
#include <linux/nvme_ioctl.h>
#include <nvme/types.h>

#include <cstddef>

namespace nvme = platform::nvme;

#define SAME_OFFSET(ours, theirs, ourField, theirField) \
    static_assert(offsetof(ours, ourField) == offsetof(theirs, theirField), #ourField)

SAME_OFFSET(nvme::AdminCommand, nvme_passthru_cmd, nsid, nsid);
SAME_OFFSET(nvme::AdminCommand, nvme_passthru_cmd, addr, addr);
SAME_OFFSET(nvme::AdminCommand, nvme_passthru_cmd, dataLength, data_len);
SAME_OFFSET(nvme::AdminCommand, nvme_passthru_cmd, cdw10, cdw10);
SAME_OFFSET(nvme::AdminCommand, nvme_passthru_cmd, timeoutMs, timeout_ms);
SAME_OFFSET(nvme::AdminCommand, nvme_passthru_cmd, result, result);
static_assert(sizeof(nvme::AdminCommand) == sizeof(nvme_passthru_cmd), "admin block");

static_assert(nvme::kCtrlSerialOffset == offsetof(nvme_id_ctrl, sn), "serial");
static_assert(nvme::kCtrlSerialBytes == sizeof(nvme_id_ctrl::sn), "serial width");
static_assert(nvme::kCtrlModelOffset == offsetof(nvme_id_ctrl, mn), "model");
static_assert(nvme::kCtrlModelBytes == sizeof(nvme_id_ctrl::mn), "model width");
static_assert(nvme::kCtrlFirmwareOffset == offsetof(nvme_id_ctrl, fr), "firmware");
static_assert(nvme::kCtrlFirmwareBytes == sizeof(nvme_id_ctrl::fr), "firmware width");
static_assert(nvme::kCtrlAttributesOffset == offsetof(nvme_id_ctrl, ctratt), "attributes");
static_assert(nvme::kCtrlLogAttributesOffset == offsetof(nvme_id_ctrl, lpa), "log attributes");
static_assert(nvme::kCtrlTotalCapacityOffset == offsetof(nvme_id_ctrl, tnvmcap), "capacity");
static_assert(nvme::kCtrlEnduranceGroupMaxOffset == offsetof(nvme_id_ctrl, endgidmax), "groups");
static_assert(nvme::kCtrlNamespaceCountOffset == offsetof(nvme_id_ctrl, nn), "namespaces");
static_assert(nvme::kIdentifyBytes == sizeof(nvme_id_ctrl), "controller page");

static_assert(nvme::kNsSizeOffset == offsetof(nvme_id_ns, nsze), "size");
static_assert(nvme::kNsCapacityOffset == offsetof(nvme_id_ns, ncap), "capacity");
static_assert(nvme::kNsUsedOffset == offsetof(nvme_id_ns, nuse), "used");
static_assert(nvme::kNsFormatCountOffset == offsetof(nvme_id_ns, nlbaf), "format count");
static_assert(nvme::kNsFormattedLbaOffset == offsetof(nvme_id_ns, flbas), "format in use");
static_assert(nvme::kNsEnduranceGroupOffset == offsetof(nvme_id_ns, endgid), "group");
static_assert(nvme::kNsLbaFormatsOffset == offsetof(nvme_id_ns, lbaf), "formats");
static_assert(nvme::kNsLbaFormatBytes == sizeof(nvme_lbaf), "format width");
static_assert(nvme::kLbaFormatDataShift == offsetof(nvme_lbaf, ds), "block size shift");
static_assert(nvme::kIdentifyBytes == sizeof(nvme_id_ns), "namespace page");

#define HEALTH(ours, theirs) SAME_OFFSET(nvme::HealthLog, nvme_smart_log, ours, theirs)
HEALTH(criticalWarning, critical_warning);
HEALTH(availableSpare, avail_spare);
HEALTH(percentageUsed, percent_used);
HEALTH(dataUnitsRead, data_units_read);
HEALTH(dataUnitsWritten, data_units_written);
HEALTH(hostReadCommands, host_reads);
HEALTH(hostWriteCommands, host_writes);
HEALTH(powerCycles, power_cycles);
HEALTH(powerOnHours, power_on_hours);
HEALTH(unsafeShutdowns, unsafe_shutdowns);
HEALTH(mediaErrors, media_errors);
HEALTH(errorLogEntries, num_err_log_entries);
HEALTH(warningTemperatureMinutes, warning_temp_time);
static_assert(sizeof(nvme::HealthLog) == sizeof(nvme_smart_log), "health log");

#define GROUP(ours, theirs) \
    SAME_OFFSET(nvme::EnduranceGroupLog, nvme_endurance_group_log, ours, theirs)
GROUP(percentageUsed, percent_used);
GROUP(enduranceEstimate, endurance_estimate);
GROUP(dataUnitsRead, data_units_read);
GROUP(dataUnitsWritten, data_units_written);
GROUP(mediaUnitsWritten, media_units_written);
GROUP(mediaErrors, media_data_integrity_err);
static_assert(sizeof(nvme::EnduranceGroupLog) == sizeof(nvme_endurance_group_log), "group log");

static_assert(nvme::kOpcodeIdentify == nvme_admin_identify, "identify opcode");
static_assert(nvme::kOpcodeGetLogPage == nvme_admin_get_log_page, "log opcode");
static_assert(nvme::kLogHealth == NVME_LOG_LID_SMART, "health log id");
static_assert(nvme::kLogEnduranceGroup == NVME_LOG_LID_ENDURANCE_GROUP, "group log id");
static_assert(nvme::kCnsController == NVME_IDENTIFY_CNS_CTRL, "controller CNS");
static_assert(nvme::kCnsNamespace == NVME_IDENTIFY_CNS_NS, "namespace CNS");

TEST(NvmeWire, CountersReadLittleEndianAndSaturateBeyond64Bits) {
    std::uint8_t field[16] = {};
    nvme::PutLittleEndian(field, 16, 0x0102030405060708u);
    EXPECT_EQ(0x08, field[0]);
    EXPECT_EQ(0x0102030405060708u, nvme::LittleEndian(field, 16));
    field[9] = 1;  // a value past 2^64 cannot be held: the largest one stands for it
    EXPECT_EQ(~std::uint64_t{0}, nvme::LittleEndian(field, 16));
    EXPECT_EQ(0x0708u, nvme::LittleEndian(field, 2));
}

TEST(NvmeWire, LogLengthSplitsIntoTheTwoDwords) {
    EXPECT_EQ(0x007F0002u, nvme::LogPageDword10(2, 512));
    EXPECT_EQ(0u, nvme::LogPageDword11(512));
    EXPECT_EQ(0x1u, nvme::LogPageDword11(0x40000 + 4));
}
