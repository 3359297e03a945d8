// The command blocks of the three requests, byte for byte as the driver reads them.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "smart/smart_channel.h"

namespace {

using Wire = std::array<std::uint8_t, sizeof(SmartCmdInParams)>;

Wire Bytes(const SmartCmdInParams& in) {
    Wire bytes;
    std::memcpy(bytes.data(), &in, bytes.size());
    return bytes;
}

// Bytes 0-3 the buffer size, 4-11 the task file, 12 the drive number; the rest 0.
Wire Expected(std::uint32_t bufferSize, std::array<std::uint8_t, 8> taskFile,
              std::uint8_t driveNumber) {
    Wire bytes{};
    for (std::size_t i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(bufferSize >> (8 * i));
    for (std::size_t i = 0; i < 8; ++i) bytes[4 + i] = taskFile[i];
    bytes[12] = driveNumber;
    return bytes;
}

}  // namespace

TEST(SmartCommandBlock, SmartReadAndEnableNameTheDriveOnlyThroughTheHandle) {
    EXPECT_EQ(Bytes(MakeSmartCommand(0xD0, 512)),
              Expected(512, {0xD0, 0x01, 0x01, 0x4F, 0xC2, 0x00, 0xB0, 0x00}, 0));
    EXPECT_EQ(Bytes(MakeSmartCommand(0xD8, 0)),
              Expected(0, {0xD8, 0x01, 0x01, 0x4F, 0xC2, 0x00, 0xB0, 0x00}, 0));
}

TEST(SmartCommandBlock, IdentifySelectsTheDeviceByParityAndCarriesTheNumber) {
    EXPECT_EQ(Bytes(MakeIdentifyCommand(1)), Expected(512, {0, 0, 0, 0, 0, 0xB0, 0xEC, 0}, 1));
    EXPECT_EQ(Bytes(MakeIdentifyCommand(2)), Expected(512, {0, 0, 0, 0, 0, 0xA0, 0xEC, 0}, 2));
    EXPECT_EQ(Bytes(MakeIdentifyCommand(0)), Expected(512, {0, 0, 0, 0, 0, 0xA0, 0xEC, 0}, 0));
    EXPECT_EQ(Bytes(MakeIdentifyCommand(259)), Expected(512, {0, 0, 0, 0, 0, 0xB0, 0xEC, 0}, 3));
}
