// Transfers of a lab drive: data lands in the image byte for byte, the image is
// what the host reads, and the bench's transfer faults behave as configured.
#include <chrono>
#include <cstdio>
#include <fstream>

#include "engine/drive_open.h"
#include "platform/transfer_memory.h"
#include "tests/platform/lab/lab_test_support.h"
#include "tests/platform/posix/loop_device.h"

namespace {

class LabRawDrive : public labtest::LabFixture {};

using labtest::AlignedBuffer;
using labtest::kMiB;
using labtest::OpenDrive;
using test_support::Text;

void Fill(unsigned char* data, std::size_t size, unsigned seed) {
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<unsigned char>((i * 2654435761u + seed) >> 13);
}

// One MiB filled from `seed`.
AlignedBuffer Filled(unsigned seed) {
    AlignedBuffer block(kMiB);
    Fill(block.get(), kMiB, seed);
    return block;
}

TEST_F(LabRawDrive, WrittenDataLandsInTheImageAndTheImageIsWhatTheHostReads) {
    WriteOneDriveBench("kvt", 4, "\"rber_start\": 0, \"rber_rated\": 0, \"rber_max\": 0");
    OpenDrive drive(1);
    ASSERT_TRUE(drive.ok());
    const AlignedBuffer block = Filled(7);
    ASSERT_TRUE(drive.Transfer(2 * kMiB, block.get(), kMiB, false));

    EXPECT_EQ(test_support::ReadAt(Path("lab_drive1.img"), 2 * kMiB, kMiB), Text(block, kMiB));

    // Changing the file changes what the host reads.
    {
        std::fstream edit(Path("lab_drive1.img"), std::ios::binary | std::ios::in | std::ios::out);
        edit.seekp(2 * kMiB + 100);
        edit.put(static_cast<char>(block.get()[100] ^ 0x01));
    }
    AlignedBuffer back(kMiB);
    ASSERT_TRUE(drive.Transfer(2 * kMiB, back.get(), kMiB, true));
    EXPECT_EQ(back.get()[100], block.get()[100] ^ 0x01);
    EXPECT_EQ(std::memcmp(back.get(), block.get(), 100), 0);
}

TEST_F(LabRawDrive, TransfersInRegisteredMemoryMoveTheSameDataAsAnyOther) {
    WriteOneDriveBench("kvt", 4, "\"rber_start\": 0, \"rber_rated\": 0, \"rber_max\": 0");
    OpenDrive drive(1);
    ASSERT_TRUE(drive.ok());
    auto* memory = static_cast<unsigned char*>(platform::AllocateTransferMemory(2 * kMiB));
    ASSERT_NE(memory, nullptr);
    EXPECT_TRUE(drive.drive->RegisterTransferMemory(memory, 2 * kMiB));
    Fill(memory + kMiB, kMiB, 3);
    AlignedBuffer outside(kMiB);
    ASSERT_TRUE(drive.Transfer(kMiB, memory + kMiB, kMiB, false));
    ASSERT_TRUE(drive.Transfer(kMiB, outside.get(), kMiB, true));
    EXPECT_EQ(std::memcmp(outside.get(), memory + kMiB, kMiB), 0);
    ASSERT_TRUE(drive.Transfer(kMiB, memory, kMiB, true));
    EXPECT_EQ(std::memcmp(memory, outside.get(), kMiB), 0);

    drive.drive->UnregisterTransferMemory();
    std::memset(memory, 0, kMiB);
    ASSERT_TRUE(drive.Transfer(kMiB, memory, kMiB, true));
    EXPECT_EQ(std::memcmp(memory, outside.get(), kMiB), 0);
    platform::FreeTransferMemory(memory, 2 * kMiB);
}

TEST_F(LabRawDrive, TransfersOutsideTheDriveOrUnattachedAreRefused) {
    WriteOneDriveBench("kvt", 4);
    OpenDrive drive(1);
    ASSERT_TRUE(drive.ok());
    AlignedBuffer block(kMiB);
    EXPECT_EQ(drive.drive->StartTransfer(&drive.slot, 4 * kMiB, block.get(), kMiB, true).status,
              platform::IoStart::Failed);
    EXPECT_EQ(drive.drive->StartTransfer(&drive.slot, 100, block.get(), kMiB, true).status,
              platform::IoStart::Failed);

    std::uint32_t error = 0;
    const std::unique_ptr<platform::Drive> loose = platform::SystemDrives().Open(1, &error);
    ASSERT_NE(loose, nullptr);
    platform::OverlappedSlot slot{};
    EXPECT_EQ(loose->StartTransfer(&slot, 0, block.get(), kMiB, true).status,
              platform::IoStart::Failed);
}

TEST_F(LabRawDrive, StalledTransferNeverCompletesUntilCancelledAndReaped) {
    WriteOneDriveBench("kvt", 4, "\"faults\": {\"stall_at_mib\": 1}");
    OpenDrive drive(1);
    ASSERT_TRUE(drive.ok());
    AlignedBuffer block(kMiB);
    EXPECT_TRUE(drive.Transfer(0, block.get(), kMiB, false));

    EXPECT_EQ(drive.drive->StartTransfer(&drive.slot, kMiB, block.get(), kMiB, false).status,
              platform::IoStart::Pending);
    platform::OverlappedSlot* done = &drive.slot;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(drive.drive->WaitCompletion(200, &done));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
    EXPECT_EQ(done, nullptr);

    EXPECT_TRUE(drive.drive->CancelTransfer(&drive.slot, 5000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    // Reaped for good: the port carries on, and a collected transfer needs no reap.
    EXPECT_TRUE(drive.Transfer(0, block.get(), kMiB, true));
    EXPECT_TRUE(drive.drive->CancelTransfer(&drive.slot, 5000));
}

TEST_F(LabRawDrive, IoErrorFailsTransfersTouchingThatMibGeometryAndLayoutFaultsTheirRequests) {
    WriteOneDriveBench("kvt", 4,
                       "\"faults\": {\"io_error_at_mib\": [2], \"geometry_fails\": true, "
                       "\"layout_fails\": true}");
    OpenDrive drive(1);
    ASSERT_TRUE(drive.ok());
    std::int64_t size = 0;
    std::vector<std::uint8_t> types;
    EXPECT_FALSE(drive.drive->SizeBytes(&size));
    EXPECT_FALSE(drive.drive->Layout(&types));
    AlignedBuffer block(2 * kMiB);
    EXPECT_TRUE(drive.Transfer(0, block.get(), kMiB, true));

    // A transfer ending inside MiB 2 touches it.
    ASSERT_EQ(
        drive.drive->StartTransfer(&drive.slot, kMiB + kMiB / 2, block.get(), kMiB, true).status,
        platform::IoStart::Pending);
    platform::OverlappedSlot* done = nullptr;
    EXPECT_FALSE(drive.drive->WaitCompletion(1000, &done));
    EXPECT_EQ(done, &drive.slot);  // the failed transfer is named, as a port does

    EXPECT_TRUE(drive.Transfer(3 * kMiB, block.get(), kMiB, true));
}

TEST_F(LabRawDrive, BitErrorFaultFlipsBitsInReadsOfItsMibOnly) {
    WriteOneDriveBench("kvt", 4,
                       "\"rber_start\": 0, \"rber_rated\": 0, \"rber_max\": 0, \"faults\": "
                       "{\"bit_errors_at_mib\": [2], \"bit_errors_per_mib\": 5}");
    OpenDrive drive(1);
    ASSERT_TRUE(drive.ok());
    const AlignedBuffer block = Filled(5);
    AlignedBuffer back(kMiB);
    const auto flippedBits = [&] {
        int bits = 0;
        for (std::size_t i = 0; i < kMiB; ++i)
            bits += __builtin_popcount(static_cast<unsigned>(back.get()[i] ^ block.get()[i]));
        return bits;
    };
    for (const std::int64_t mib : {1, 2, 3}) {
        ASSERT_TRUE(drive.Transfer(mib * kMiB, block.get(), kMiB, false));
        ASSERT_TRUE(drive.Transfer(mib * kMiB, back.get(), kMiB, true));
        EXPECT_EQ(flippedBits(), mib == 2 ? 5 : 0) << "MiB " << mib;
    }
    EXPECT_EQ(test_support::ReadAt(Path("lab_drive1.img"), 2 * kMiB, kMiB), Text(block, kMiB))
        << "the stored data stays intact";
}

TEST_F(LabRawDrive, TransferCompletedAtOnceIsStillCollected) {
    WriteOneDriveBench("kvt", 4, "\"faults\": {\"complete_at_once\": true}");
    OpenDrive drive(1);
    ASSERT_TRUE(drive.ok());
    const AlignedBuffer block = Filled(3);
    EXPECT_EQ(drive.drive->StartTransfer(&drive.slot, 0, block.get(), kMiB, false).status,
              platform::IoStart::Finished);
    platform::OverlappedSlot* done = nullptr;
    ASSERT_TRUE(drive.drive->WaitCompletion(1000, &done));
    EXPECT_EQ(done, &drive.slot);
    EXPECT_FALSE(drive.drive->WaitCompletion(10, &done));  // only once

    AlignedBuffer back(kMiB);
    EXPECT_TRUE(drive.Transfer(0, back.get(), kMiB, true));
    EXPECT_EQ(std::memcmp(back.get(), block.get(), kMiB), 0);
}

TEST_F(LabRawDrive, BlockDeviceServesInsteadOfAnImage) {
    {
        std::ofstream backing(Path("backing.bin"), std::ios::binary);
        backing.seekp(6 * kMiB - 1);
        backing.put('\0');
    }
    const auto loop = test_support::LoopDevice::Attach(Path("backing.bin"));
    if (!loop) GTEST_SKIP() << "no loop device available";
    WriteOneDriveBench("kvt", 8, "\"device\": \"" + loop->node() + "\"");

    {
        OpenDrive drive(1);
        ASSERT_TRUE(drive.ok()) << "error " << drive.error;
        std::int64_t size = 0;
        ASSERT_TRUE(drive.drive->SizeBytes(&size));
        EXPECT_EQ(size, 6 * kMiB);        // the device is smaller than configured
        EXPECT_FALSE(OpenDrive(1).ok());  // opened exclusively

        const AlignedBuffer block = Filled(11);
        ASSERT_TRUE(drive.Transfer(5 * kMiB, block.get(), kMiB, false));
        AlignedBuffer back(kMiB);
        ASSERT_TRUE(drive.Transfer(5 * kMiB, back.get(), kMiB, true));
        EXPECT_EQ(std::memcmp(back.get(), block.get(), kMiB), 0);
    }
    EXPECT_TRUE(std::filesystem::exists(Path("lab_drive1.state")));
    const AlignedBuffer expected = Filled(11);
    EXPECT_EQ(test_support::ReadAt(Path("backing.bin"), 5 * kMiB, kMiB), Text(expected, kMiB));
}

}  // namespace
