// ATA PASS-THROUGH (16) commands built from the SMART requests, the sense data
// decoding and the answer block.
#include "platform/posix/drive/sat_translate.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace platform::posix {
namespace {

using ata::kSmartRcvDriveData;
using ata::kSmartSendDriveCommand;
using ata::SmartCmdInParams;
using ata::SmartCmdOutParams;

// An input block filled the way the SMART channel fills it.
SmartCmdInParams Request(std::uint8_t features, std::uint8_t count, std::uint8_t number,
                         std::uint8_t cylLow, std::uint8_t cylHigh, std::uint8_t driveHead,
                         std::uint8_t command, std::uint8_t driveNumber, std::uint32_t bufferSize) {
    SmartCmdInParams in;
    std::memset(&in, 0, sizeof(in));
    in.cBufferSize = bufferSize;
    in.irDriveRegs = {features, count, number, cylLow, cylHigh, driveHead, command, 0};
    in.bDriveNumber = driveNumber;
    return in;
}

SmartCmdInParams SmartReadData() { return Request(0xD0, 1, 1, 0x4F, 0xC2, 0, 0xB0, 0, 512); }
SmartCmdInParams SmartEnable() { return Request(0xD8, 1, 1, 0x4F, 0xC2, 0, 0xB0, 0, 0); }
SmartCmdInParams Identify(std::uint8_t drive) {
    return Request(0, 0, 0, 0, 0, (drive & 1) ? 0xB0 : 0xA0, 0xEC, drive, 512);
}

using Cdb = std::array<std::uint8_t, 16>;
const Cdb kIdentifyCdb = {0x85, 0x08, 0x0E, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0xA0, 0xEC, 0};

TEST(SatCommand, SmartReadEnableAndIdentifyBecomeTheirPassThroughCdbs) {
    const struct {
        SmartCmdInParams in;
        std::uint32_t code, inSize, outSize;
        Cdb cdb;
        AtaDirection direction;
        std::uint32_t dataBytes;
    } cases[] = {
        {SmartReadData(),
         kSmartRcvDriveData,
         33,
         528,
         {0x85, 0x08, 0x0E, 0, 0xD0, 0, 1, 0, 1, 0, 0x4F, 0, 0xC2, 0, 0xB0, 0},
         AtaDirection::DataIn,
         512},
        {SmartEnable(),
         kSmartSendDriveCommand,
         32,
         16,
         {0x85, 0x06, 0x00, 0, 0xD8, 0, 1, 0, 1, 0, 0x4F, 0, 0xC2, 0, 0xB0, 0},
         AtaDirection::NonData,
         0},
        // The device is the node behind the handle: the master/slave bit of odd
        // drive numbers must not reach the drive.
        {Identify(0), kSmartRcvDriveData, 33, 528, kIdentifyCdb, AtaDirection::DataIn, 512},
        {Identify(1), kSmartRcvDriveData, 33, 528, kIdentifyCdb, AtaDirection::DataIn, 512},
        {Identify(7), kSmartRcvDriveData, 33, 528, kIdentifyCdb, AtaDirection::DataIn, 512},
    };
    for (const auto& c : cases) {
        SatCommand command;
        ASSERT_TRUE(BuildSatCommand(c.code, &c.in, c.inSize, c.outSize, &command));
        EXPECT_EQ(command.cdb, c.cdb);
        EXPECT_EQ(command.direction, c.direction);
        EXPECT_EQ(command.dataBytes, c.dataBytes);
    }
}

TEST(SatCommand, RefusesRequestsOutsideTheSupportedSet) {
    SatCommand command;
    const SmartCmdInParams read = SmartReadData();
    const SmartCmdInParams enable = SmartEnable();
    // Wrong control code for the command's direction.
    EXPECT_FALSE(BuildSatCommand(kSmartSendDriveCommand, &read, 33, 528, &command));
    EXPECT_FALSE(BuildSatCommand(kSmartRcvDriveData, &enable, 33, 528, &command));
    // Not a SMART request at all.
    EXPECT_FALSE(BuildSatCommand(0x70000, &read, 33, 528, &command));
    // Commands that write to the drive are never passed through.
    const SmartCmdInParams writeSectors = Request(0, 1, 0, 0, 0, 0xE0, 0x30, 0, 512);
    EXPECT_FALSE(BuildSatCommand(kSmartRcvDriveData, &writeSectors, 33, 528, &command));
    const SmartCmdInParams smartWriteLog = Request(0xD6, 1, 0x80, 0x4F, 0xC2, 0, 0xB0, 0, 512);
    EXPECT_FALSE(BuildSatCommand(kSmartSendDriveCommand, &smartWriteLog, 33, 528, &command));
    // Input shorter than the block, output too small for the answer, no input.
    EXPECT_FALSE(BuildSatCommand(kSmartRcvDriveData, &read, 31, 528, &command));
    EXPECT_FALSE(BuildSatCommand(kSmartRcvDriveData, &read, 33, 527, &command));
    EXPECT_FALSE(BuildSatCommand(kSmartSendDriveCommand, &enable, 32, 15, &command));
    EXPECT_FALSE(BuildSatCommand(kSmartRcvDriveData, nullptr, 33, 528, &command));
}

// ---- sense data ------------------------------------------------------------

// Descriptor sense with an ATA status return descriptor.
std::vector<std::uint8_t> DescriptorSense(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq,
                                          std::uint8_t ataError, std::uint8_t ataStatus) {
    return {0x72, key,  asc, ascq,     0, 0, 0, 14,  // header, 14 descriptor bytes follow
            0x09, 0x0C, 0,   ataError, 0, 1, 0, 1,  0, 0x4F, 0, 0xC2, 0, ataStatus};
}

TEST(SenseData, DescriptorFormatGivesKeyCodesAndAtaStatus) {
    const std::vector<std::uint8_t> sense = DescriptorSense(0x0B, 0x00, 0x00, 0x04, 0x51);
    const SenseInfo info = ParseSense(sense.data(), sense.size());
    EXPECT_TRUE(info.valid);
    EXPECT_EQ(info.senseKey, 0x0B);
    EXPECT_TRUE(info.hasAtaStatus);
    EXPECT_EQ(info.ataError, 0x04);
    EXPECT_EQ(info.ataStatus, 0x51);
}

// Fixed format sense: key, additional sense code and qualifier.
std::vector<std::uint8_t> FixedSense(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
    std::vector<std::uint8_t> sense(18, 0);
    sense[0] = 0x70;
    sense[2] = key;
    sense[7] = 10;
    sense[12] = asc;
    sense[13] = ascq;
    return sense;
}

TEST(SenseData, FixedFormatGivesKeyCodesAndAtaStatusWhenPassThroughInfo) {
    // ILLEGAL REQUEST, invalid command operation code.
    std::vector<std::uint8_t> sense = FixedSense(0x05, 0x20, 0);
    SenseInfo info = ParseSense(sense.data(), sense.size());
    EXPECT_TRUE(info.valid);
    EXPECT_EQ(info.senseKey, 0x05);
    EXPECT_EQ(info.asc, 0x20);
    EXPECT_FALSE(info.hasAtaStatus);

    sense = FixedSense(0x01, 0x00, 0x1D);  // ATA pass-through information available
    sense[4] = 0x50;
    info = ParseSense(sense.data(), sense.size());
    EXPECT_TRUE(info.hasAtaStatus);
    EXPECT_EQ(info.ataStatus, 0x50);
}

TEST(SenseData, TruncatedOrUnknownSenseIsNeverReadPastItsLength) {
    std::vector<std::uint8_t> sense = DescriptorSense(0x01, 0x00, 0x1D, 0, 0x50);
    // Claims more descriptor bytes than were delivered.
    const SenseInfo cut = ParseSense(sense.data(), 12);
    EXPECT_TRUE(cut.valid);
    EXPECT_FALSE(cut.hasAtaStatus);
    // A descriptor whose length runs past the end is ignored.
    sense[9] = 0x40;
    EXPECT_FALSE(ParseSense(sense.data(), sense.size()).hasAtaStatus);

    const std::uint8_t vendor[4] = {0x7F, 1, 2, 3};
    EXPECT_FALSE(ParseSense(vendor, sizeof(vendor)).valid);
    EXPECT_FALSE(ParseSense(nullptr, 0).valid);
}

// ---- success judgement -------------------------------------------------------

SatCommand ReadCommand() {
    const SmartCmdInParams in = SmartReadData();
    SatCommand command;
    BuildSatCommand(kSmartRcvDriveData, &in, 33, 528, &command);
    return command;
}

/// An outcome: bytes moved, SCSI/host/driver status and sense data.
SgOutcome Outcome(std::uint32_t bytes, std::uint8_t scsi, std::uint16_t host, std::uint16_t driver,
                  const std::vector<std::uint8_t>& sense = {}) {
    SgOutcome outcome;
    outcome.transferredBytes = bytes;
    outcome.scsiStatus = scsi;
    outcome.hostStatus = host;
    outcome.driverStatus = driver;
    outcome.sense = sense.empty() ? nullptr : sense.data();
    outcome.senseLength = sense.size();
    return outcome;
}

TEST(SatOutcome, OnlyGoodStatusWithAllDataSucceeds) {
    const SatCommand command = ReadCommand();
    EXPECT_TRUE(SatCommandSucceeded(command, Outcome(512, 0, 0, 0)));

    // Not an ATA device: the pass-through opcode is an illegal request.
    const std::vector<std::uint8_t> illegal = FixedSense(0x05, 0x20, 0);
    // The drive aborted the command (SMART switched off).
    const std::vector<std::uint8_t> aborted = DescriptorSense(0x0B, 0, 0, 0x04, 0x51);
    const SgOutcome failures[] = {
        Outcome(256, 0, 0, 0),     // short data
        Outcome(512, 0, 0x01, 0),  // no connect
        Outcome(512, 0, 0, 0x06),  // timeout
        Outcome(0, 0x02, 0, 0x08, illegal),
        Outcome(0, 0x02, 0, 0x08, aborted),
        Outcome(512, 0x02, 0, 0),  // CHECK CONDITION without sense data
    };
    for (const SgOutcome& outcome : failures) EXPECT_FALSE(SatCommandSucceeded(command, outcome));
}

TEST(SatOutcome, PassThroughInformationPassesOnlyWithACleanAtaStatus) {
    const SmartCmdInParams in = SmartEnable();
    SatCommand enable;
    ASSERT_TRUE(BuildSatCommand(kSmartSendDriveCommand, &in, 32, 16, &enable));
    const auto clean = DescriptorSense(0x01, 0x00, 0x1D, 0, 0x50);
    const auto error = DescriptorSense(0x01, 0x00, 0x1D, 0x04, 0x51);
    EXPECT_TRUE(SatCommandSucceeded(enable, Outcome(0, 0x02, 0, 0x08, clean)));
    EXPECT_FALSE(SatCommandSucceeded(enable, Outcome(0, 0x02, 0, 0x08, error)));
    // An ATA error reported next to a GOOD status still fails.
    EXPECT_FALSE(SatCommandSucceeded(enable, Outcome(0, 0x00, 0, 0x08, error)));
}

// ---- answer block ------------------------------------------------------------

TEST(SmartAnswer, DataInIsHeaderThenTheSectorNonDataTheHeaderOnly) {
    std::array<std::uint8_t, 512> page{};
    for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::uint8_t>(i * 7 + 1);
    SmartCmdOutParams out;
    std::memset(&out, 0xEE, sizeof(out));
    EXPECT_EQ(BuildSmartAnswer(ReadCommand(), page.data(), &out, sizeof(out)), 528u);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&out);
    const std::uint8_t header[16] = {0x00, 0x02};
    EXPECT_EQ(0, std::memcmp(bytes, header, 16));
    EXPECT_EQ(0, std::memcmp(bytes + 16, page.data(), 512));

    const SmartCmdInParams in = SmartEnable();
    SatCommand enable;
    ASSERT_TRUE(BuildSatCommand(kSmartSendDriveCommand, &in, 32, 16, &enable));
    std::memset(&out, 0xEE, sizeof(out));
    EXPECT_EQ(BuildSmartAnswer(enable, nullptr, &out, 16), 16u);
    const std::uint8_t zeros[16] = {};
    EXPECT_EQ(0, std::memcmp(bytes, zeros, 16));
    EXPECT_EQ(bytes[16], 0xEE);  // nothing written past the header
}

}  // namespace
}  // namespace platform::posix
