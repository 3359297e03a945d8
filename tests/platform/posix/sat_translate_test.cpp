// ATA PASS-THROUGH (16) commands built from the SMART requests, the sense data
// decoding and the answer block.
#include "platform/posix/drive/sat_translate.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace platform::posix {
namespace {

// An input block filled the way the SMART channel fills it.
WireSendCmdIn Request(std::uint8_t features, std::uint8_t count, std::uint8_t number,
                      std::uint8_t cylLow, std::uint8_t cylHigh, std::uint8_t driveHead,
                      std::uint8_t command, std::uint8_t driveNumber, std::uint32_t bufferSize) {
    WireSendCmdIn in;
    std::memset(&in, 0, sizeof(in));
    in.bufferSize = bufferSize;
    in.regs = {features, count, number, cylLow, cylHigh, driveHead, command, 0};
    in.driveNumber = driveNumber;
    return in;
}

WireSendCmdIn SmartReadData() { return Request(0xD0, 1, 1, 0x4F, 0xC2, 0, 0xB0, 0, 512); }
WireSendCmdIn SmartEnable() { return Request(0xD8, 1, 1, 0x4F, 0xC2, 0, 0xB0, 0, 0); }
WireSendCmdIn Identify(std::uint8_t drive) {
    return Request(0, 0, 0, 0, 0, (drive & 1) ? 0xB0 : 0xA0, 0xEC, drive, 512);
}

using Cdb = std::array<std::uint8_t, 16>;

TEST(SatCommand, SmartReadDataIsPioDataInOfOneBlock) {
    const WireSendCmdIn in = SmartReadData();
    SatCommand command;
    ASSERT_TRUE(BuildSatCommand(kSmartRcvDriveData, &in, 33, 528, &command));
    const Cdb expected = {0x85, 0x08, 0x0E, 0, 0xD0, 0, 1, 0, 1, 0, 0x4F, 0, 0xC2, 0, 0xB0, 0};
    EXPECT_EQ(command.cdb, expected);
    EXPECT_EQ(command.direction, AtaDirection::DataIn);
    EXPECT_EQ(command.dataBytes, 512u);
}

TEST(SatCommand, SmartEnableIsNonDataAndTakesTheShortInputBlock) {
    const WireSendCmdIn in = SmartEnable();
    SatCommand command;
    ASSERT_TRUE(BuildSatCommand(kSmartSendDriveCommand, &in, 32, 16, &command));
    const Cdb expected = {0x85, 0x06, 0x00, 0, 0xD8, 0, 1, 0, 1, 0, 0x4F, 0, 0xC2, 0, 0xB0, 0};
    EXPECT_EQ(command.cdb, expected);
    EXPECT_EQ(command.direction, AtaDirection::NonData);
    EXPECT_EQ(command.dataBytes, 0u);
}

TEST(SatCommand, IdentifyAsksForOneBlockWhateverTheDriveNumber) {
    // The device is the node behind the handle: the master/slave bit of odd
    // drive numbers must not reach the drive.
    for (std::uint8_t drive : {0, 1, 2, 7}) {
        const WireSendCmdIn in = Identify(drive);
        SatCommand command;
        ASSERT_TRUE(BuildSatCommand(kSmartRcvDriveData, &in, 33, 528, &command));
        const Cdb expected = {0x85, 0x08, 0x0E, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0xA0, 0xEC, 0};
        EXPECT_EQ(command.cdb, expected) << "drive " << int(drive);
        EXPECT_EQ(command.dataBytes, 512u);
    }
}

TEST(SatCommand, RefusesRequestsOutsideTheSupportedSet) {
    SatCommand command;
    const WireSendCmdIn read = SmartReadData();
    const WireSendCmdIn enable = SmartEnable();
    // Wrong control code for the command's direction.
    EXPECT_FALSE(BuildSatCommand(kSmartSendDriveCommand, &read, 33, 528, &command));
    EXPECT_FALSE(BuildSatCommand(kSmartRcvDriveData, &enable, 33, 528, &command));
    // Not a SMART request at all.
    EXPECT_FALSE(BuildSatCommand(0x70000, &read, 33, 528, &command));
    // Commands that write to the drive are never passed through.
    const WireSendCmdIn writeSectors = Request(0, 1, 0, 0, 0, 0xE0, 0x30, 0, 512);
    EXPECT_FALSE(BuildSatCommand(kSmartRcvDriveData, &writeSectors, 33, 528, &command));
    const WireSendCmdIn smartWriteLog = Request(0xD6, 1, 0x80, 0x4F, 0xC2, 0, 0xB0, 0, 512);
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

TEST(SenseData, FixedFormatGivesKeyCodesAndAtaStatusWhenPassThroughInfo) {
    std::vector<std::uint8_t> sense(18, 0);
    sense[0] = 0x70;
    sense[2] = 0x05;  // ILLEGAL REQUEST
    sense[7] = 10;
    sense[12] = 0x20;  // invalid command operation code
    SenseInfo info = ParseSense(sense.data(), sense.size());
    EXPECT_TRUE(info.valid);
    EXPECT_EQ(info.senseKey, 0x05);
    EXPECT_EQ(info.asc, 0x20);
    EXPECT_FALSE(info.hasAtaStatus);

    sense[2] = 0x01;  // RECOVERED ERROR, ATA pass-through information available
    sense[12] = 0x00;
    sense[13] = 0x1D;
    sense[3] = 0x00;
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
    const WireSendCmdIn in = SmartReadData();
    SatCommand command;
    BuildSatCommand(kSmartRcvDriveData, &in, 33, 528, &command);
    return command;
}

TEST(SatOutcome, GoodStatusWithAllDataSucceeds) {
    SgOutcome outcome;
    outcome.transferredBytes = 512;
    EXPECT_TRUE(SatCommandSucceeded(ReadCommand(), outcome));
}

TEST(SatOutcome, ShortDataTransportErrorsAndRejectionsFail) {
    const SatCommand command = ReadCommand();
    SgOutcome shortRead;
    shortRead.transferredBytes = 256;
    EXPECT_FALSE(SatCommandSucceeded(command, shortRead));

    SgOutcome hostError;
    hostError.transferredBytes = 512;
    hostError.hostStatus = 0x01;  // no connect
    EXPECT_FALSE(SatCommandSucceeded(command, hostError));

    SgOutcome driverError;
    driverError.transferredBytes = 512;
    driverError.driverStatus = 0x06;  // timeout
    EXPECT_FALSE(SatCommandSucceeded(command, driverError));

    // Not an ATA device: the pass-through opcode is an illegal request.
    std::vector<std::uint8_t> illegal(18, 0);
    illegal[0] = 0x70;
    illegal[2] = 0x05;
    illegal[12] = 0x20;
    SgOutcome rejected;
    rejected.scsiStatus = 0x02;
    rejected.driverStatus = 0x08;
    rejected.sense = illegal.data();
    rejected.senseLength = illegal.size();
    EXPECT_FALSE(SatCommandSucceeded(command, rejected));

    // The drive aborted the command (SMART switched off).
    const std::vector<std::uint8_t> aborted = DescriptorSense(0x0B, 0, 0, 0x04, 0x51);
    SgOutcome abortedOutcome = rejected;
    abortedOutcome.sense = aborted.data();
    abortedOutcome.senseLength = aborted.size();
    EXPECT_FALSE(SatCommandSucceeded(command, abortedOutcome));

    // CHECK CONDITION without any sense data.
    SgOutcome noSense;
    noSense.scsiStatus = 0x02;
    noSense.transferredBytes = 512;
    EXPECT_FALSE(SatCommandSucceeded(command, noSense));
}

TEST(SatOutcome, PassThroughInformationPassesOnlyWithACleanAtaStatus) {
    const WireSendCmdIn in = SmartEnable();
    SatCommand enable;
    ASSERT_TRUE(BuildSatCommand(kSmartSendDriveCommand, &in, 32, 16, &enable));

    const std::vector<std::uint8_t> clean = DescriptorSense(0x01, 0x00, 0x1D, 0, 0x50);
    SgOutcome outcome;
    outcome.scsiStatus = 0x02;
    outcome.driverStatus = 0x08;
    outcome.sense = clean.data();
    outcome.senseLength = clean.size();
    EXPECT_TRUE(SatCommandSucceeded(enable, outcome));

    const std::vector<std::uint8_t> error = DescriptorSense(0x01, 0x00, 0x1D, 0x04, 0x51);
    outcome.sense = error.data();
    outcome.senseLength = error.size();
    EXPECT_FALSE(SatCommandSucceeded(enable, outcome));

    // An ATA error reported next to a GOOD status still fails.
    outcome.scsiStatus = 0x00;
    EXPECT_FALSE(SatCommandSucceeded(enable, outcome));
}

// ---- answer block ------------------------------------------------------------

TEST(SmartAnswer, DataInAnswerIsHeaderThenTheSector) {
    std::array<std::uint8_t, 512> page{};
    for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::uint8_t>(i * 7 + 1);
    WireSendCmdOut out;
    std::memset(&out, 0xEE, sizeof(out));
    EXPECT_EQ(BuildSmartAnswer(ReadCommand(), page.data(), &out, sizeof(out)), 528u);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&out);
    const std::uint8_t header[16] = {0x00, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(bytes, header, 16));
    EXPECT_EQ(0, std::memcmp(bytes + 16, page.data(), 512));
}

TEST(SmartAnswer, NonDataAnswerIsTheHeaderOnly) {
    const WireSendCmdIn in = SmartEnable();
    SatCommand enable;
    ASSERT_TRUE(BuildSatCommand(kSmartSendDriveCommand, &in, 32, 16, &enable));
    std::array<std::uint8_t, 20> out;
    out.fill(0xEE);
    EXPECT_EQ(BuildSmartAnswer(enable, nullptr, out.data(), 16), 16u);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i], 0) << i;
    EXPECT_EQ(out[16], 0xEE);  // nothing written past the header
}

}  // namespace
}  // namespace platform::posix
