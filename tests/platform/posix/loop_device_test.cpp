// The real Linux drive backend against a loop device over a scratch file that
// the test makes and attaches itself. Needs root and loop support; skipped
// otherwise. No disk of the machine is ever opened: SSDTEST_DISKS pins the
// numbering to the test's own loop device.
#include "tests/platform/posix/loop_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/device_control.h"
#include "platform/disk_guard.h"
#include "platform/disk_list.h"
#include "platform/drive.h"
#include "platform/posix/drive/sat_translate.h"
#include "smart/smart_channel.h"
#include "tests/platform/posix/drive_io.h"
#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;
using platform::ata::SmartCmdInParams;

constexpr std::int64_t kImageBytes = 64ll << 20;
constexpr std::uint32_t kBlockBytes = 1u << 20;

using test_support::AlignedBuffer;
using test_support::EnvOverride;
using test_support::LoopDevice;
using test_support::OpenDrive;
using test_support::Text;

bool MakeImage(const fs::path& path, const std::string& firstSector = {}) {
    std::ofstream image(path, std::ios::binary);
    image << firstSector;
    image.close();
    return ::truncate(path.c_str(), kImageBytes) == 0;
}

// An MBR whose first entry is one Linux partition from sector 2048 on.
std::string MbrWithOnePartition() {
    std::string sector(512, '\0');
    unsigned char* entry = reinterpret_cast<unsigned char*>(&sector[446]);
    entry[4] = 0x83;
    const std::uint32_t start = 2048, count = 4096;
    for (int i = 0; i < 4; ++i) {
        entry[8 + i] = static_cast<unsigned char>(start >> (8 * i));
        entry[12 + i] = static_cast<unsigned char>(count >> (8 * i));
    }
    sector[510] = '\x55';
    sector[511] = '\xAA';
    return sector;
}

class LoopDeviceDrive : public ::testing::Test {
protected:
    // Attaches a loop device over a fresh 64 MiB image and pins it as drive 0.
    void Prepare(const std::string& firstSector = {}, bool scanPartitions = false) {
        if (::geteuid() != 0) GTEST_SKIP() << "needs root to attach a loop device";
        image_ = scratch_.path() / "drive.img";
        ASSERT_TRUE(MakeImage(image_, firstSector));
        loop_ = LoopDevice::Attach(image_.string(), scanPartitions);
        if (!loop_) GTEST_SKIP() << "no loop device support";
        disks_ = std::make_unique<EnvOverride>("SSDTEST_DISKS", loop_->name());
        trace_ = std::make_unique<EnvOverride>("SSDTEST_TRACE",
                                               (scratch_.path() / "trace.txt").string());
        std::vector<platform::DiskRecord> records;
        ASSERT_TRUE(platform::EnumerateDisks(&records));
        ASSERT_EQ(records.size(), 1u);
        record_ = records[0];
    }

    std::string TraceText() { return test_support::ReadBytes(scratch_.path() / "trace.txt"); }

    // Members go in reverse: environment back, loop detached, folder removed.
    test_support::ScratchFolder scratch_;
    fs::path image_;
    std::unique_ptr<LoopDevice> loop_;
    std::unique_ptr<EnvOverride> disks_;
    std::unique_ptr<EnvOverride> trace_;
    platform::DiskRecord record_;
};

TEST_F(LoopDeviceDrive, IsListedOpenedAndMovesBlocksThroughTheQueueOthersAreNot) {
    Prepare();
    if (IsSkipped()) return;
    EXPECT_EQ(record_.Index, 0);
    EXPECT_EQ(record_.Size, kImageBytes);
    EXPECT_EQ(platform::SystemDrives().Path(0),
              std::wstring(loop_->node().begin(), loop_->node().end()));
    const platform::DiskGuardResult guard = platform::CheckDiskBeforeWrite(0);
    EXPECT_FALSE(guard.refused) << "a blank disk passes the guard: " << guard.reason;

    OpenDrive drive(0);
    ASSERT_TRUE(drive.ok()) << "errno " << drive.error;
    std::int64_t size = 0;
    EXPECT_TRUE(drive.drive->SizeBytes(&size));
    EXPECT_EQ(size, kImageBytes);
    std::vector<std::uint8_t> partitions = {9};
    EXPECT_TRUE(drive.drive->Layout(&partitions));
    EXPECT_TRUE(partitions.empty());

    // The test holds the drive exclusively: a second open is refused.
    std::uint32_t error = 0;
    EXPECT_EQ(platform::SystemDrives().Open(0, &error), nullptr);
    EXPECT_EQ(error, static_cast<std::uint32_t>(EBUSY));

    AlignedBuffer written(kBlockBytes), read(kBlockBytes);
    for (std::uint32_t i = 0; i < kBlockBytes; ++i)
        written.get()[i] = static_cast<unsigned char>((i * 131u) >> 3);
    const std::int64_t offset = 5 * static_cast<std::int64_t>(kBlockBytes);
    ASSERT_TRUE(drive.Transfer(offset, written.get(), kBlockBytes, false, 10000));
    ASSERT_TRUE(drive.Transfer(offset, read.get(), kBlockBytes, true, 10000));
    EXPECT_EQ(0, std::memcmp(written.get(), read.get(), kBlockBytes));
    // The block reached the image the test made, at the same offset.
    EXPECT_EQ(test_support::ReadAt(image_, offset, kBlockBytes), Text(written, kBlockBytes));

    // A read that runs past the end delivers fewer bytes: a failed completion.
    const platform::IoStartResult start =
        drive.drive->StartTransfer(&drive.slot, kImageBytes - 4096, read.get(), kBlockBytes, true);
    ASSERT_EQ(start.status, platform::IoStart::Pending) << "errno " << start.errorCode;
    platform::OverlappedSlot* done = nullptr;
    EXPECT_FALSE(drive.drive->WaitCompletion(10000, &done));
    EXPECT_EQ(done, &drive.slot);
    // Nothing in flight: the wait times out.
    EXPECT_FALSE(drive.drive->WaitCompletion(50, &done));
    EXPECT_EQ(done, nullptr);

    // A number without a disk is not opened.
    EXPECT_EQ(platform::SystemDrives().Open(7, &error), nullptr);
    EXPECT_EQ(error, static_cast<std::uint32_t>(ENOENT));
    EXPECT_EQ(platform::SystemDrives().Path(7), L"/dev/ssdtest-drive7");
}

TEST_F(LoopDeviceDrive, SmartRequestsFailCleanlyWhileTheDriveIsHeld) {
    Prepare();
    if (IsSkipped()) return;
    std::uint32_t error = 0;
    std::unique_ptr<platform::Drive> drive = platform::SystemDrives().Open(0, &error);
    ASSERT_NE(drive, nullptr) << "errno " << error;

    // The control handle is no exclusive open: it works next to the test's.
    platform::ControlHandle* control = platform::OpenControlHandle(0);
    ASSERT_NE(control, nullptr);
    SmartCmdInParams in;
    std::memset(&in, 0, sizeof(in));
    in.cBufferSize = 512;
    in.irDriveRegs = {0xD0, 1, 1, 0x4F, 0xC2, 0, 0xB0, 0};
    std::vector<std::uint8_t> out(528, 0);
    std::uint32_t returned = 99;
    EXPECT_FALSE(platform::DeviceControl(control, 0x7C088, &in, 33, out.data(), 528, &returned));
    EXPECT_EQ(returned, 0u);
    in.irDriveRegs = {0xD8, 1, 1, 0x4F, 0xC2, 0, 0xB0, 0};
    in.cBufferSize = 0;
    returned = 99;
    EXPECT_FALSE(platform::DeviceControl(control, 0x7C084, &in, 32, out.data(), 16, &returned));
    EXPECT_EQ(returned, 0u);
    platform::CloseControlHandle(control);

    // Through the SMART channel: a loop device is no ATA drive.
    SmartDataBlock block;
    EXPECT_FALSE(GetSmartReadData(0, &block));
    std::vector<std::uint8_t> identify(512, 0xEE);
    DriveIdentity identity;
    EXPECT_FALSE(GetIdentifyData(0, identify.data(), &identity));
    EXPECT_EQ(identify, std::vector<std::uint8_t>(512, 0));
    EXPECT_NE(TraceText().find("Retry Failed."), std::string::npos);

    drive.reset();
    EXPECT_EQ(platform::OpenControlHandle(1), nullptr);  // no disk has number 1
}

TEST_F(LoopDeviceDrive, APartitionedDriveReportsItsPartitionAndTheGuardRefusesIt) {
    // The table on the disk counts once, whether or not this kernel parses
    // it into a partition of its own.
    Prepare(MbrWithOnePartition(), true);
    if (IsSkipped()) return;
    const platform::DiskGuardResult guard = platform::CheckDiskBeforeWrite(0);
    EXPECT_TRUE(guard.refused && guard.partitionTable) << guard.reason;
    EXPECT_NE(guard.reason.find(loop_->node()), std::string::npos) << guard.reason;
    OpenDrive drive(0);
    ASSERT_TRUE(drive.ok()) << "errno " << drive.error;
    std::vector<std::uint8_t> partitions;
    EXPECT_TRUE(drive.drive->Layout(&partitions));
    EXPECT_EQ(partitions, (std::vector<std::uint8_t>{0x83, 0, 0, 0}));
}

}  // namespace
