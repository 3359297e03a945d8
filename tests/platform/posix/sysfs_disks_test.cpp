// Disk names in natural order, the SSDTEST_DISKS selection, and the disk list
// read from a sysfs-like folder tree built by the test.
#include "platform/posix/drive/sysfs_disks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/posix/io/partition_count.h"
#include "tests/support/scratch.h"

namespace platform::posix {
namespace {

namespace fs = std::filesystem;

TEST(DiskNameOrder, IsAStrictOrderSortingLikeTheKernelCountsDisks) {
    const std::vector<std::string> expected = {
        "loop0", "loop1", "loop2", "loop10", "mmcblk0", "nvme0n1", "nvme0n2", "nvme1n1", "nvme10n1",
        "sda",   "sdb",   "sdz",   "sdaa",   "sdab",    "sdba",    "vda",     "vdb",     "xvda"};
    std::vector<std::string> shuffled = expected;
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        std::sort(shuffled.begin(), shuffled.end(), DiskNameLess);
        ASSERT_EQ(shuffled, expected);
    }
    // A strict order.
    EXPECT_FALSE(DiskNameLess("sda", "sda"));
    // Equal as numbers but different texts: still ordered one way only.
    EXPECT_NE(DiskNameLess("loop01", "loop1"), DiskNameLess("loop1", "loop01"));
}

TEST(DiskSelection, SplitsAtCommasAndBlanksDropsTheDevPrefixAndEmptiesEscapes) {
    EXPECT_EQ(ParseDiskSelection("loop3,sdb"), (std::vector<std::string>{"loop3", "sdb"}));
    EXPECT_EQ(ParseDiskSelection(" /dev/loop3 ,  sdb\t"),
              (std::vector<std::string>{"loop3", "sdb"}));
    EXPECT_TRUE(ParseDiskSelection("  ").empty());
    // Names that could leave the disk folder keep their place, empty.
    EXPECT_EQ(ParseDiskSelection("../sda,loop1,sda/sda1,.."),
              (std::vector<std::string>{"", "loop1", "", ""}));
}

SysfsDisk Disk(const std::string& name) {
    SysfsDisk disk;
    disk.name = name;
    disk.sizeBytes = 1 << 20;
    return disk;
}

std::vector<std::pair<int, std::string>> Numbers(const std::vector<NumberedDisk>& disks) {
    std::vector<std::pair<int, std::string>> numbers;
    for (const NumberedDisk& entry : disks) numbers.emplace_back(entry.index, entry.disk.name);
    return numbers;
}

TEST(DiskNumbering, AllDisksInNaturalOrderOrPinnedBySelectionNeverShifted) {
    const std::vector<SysfsDisk> found = {Disk("sdaa"), Disk("loop3"), Disk("sdb"), Disk("sda")};
    const std::vector<std::string> none;
    const auto all =
        std::vector<std::pair<int, std::string>>{{0, "loop3"}, {1, "sda"}, {2, "sdb"}, {3, "sdaa"}};
    EXPECT_EQ(Numbers(NumberDisks(found, nullptr)), all);
    EXPECT_EQ(Numbers(NumberDisks(found, &none)), all);
    // "sdq" is absent, "loop3" repeats and ".." was refused: their numbers
    // stay unused so that sdb keeps number 3.
    const std::vector<std::string> selection = {"loop3", "sdq", "", "sdb", "loop3"};
    EXPECT_EQ(Numbers(NumberDisks(found, &selection)),
              (std::vector<std::pair<int, std::string>>{{0, "loop3"}, {3, "sdb"}}));
}

// A folder tree shaped like /sys/block, removed on every path.
class FakeSysBlock : public ::testing::Test {
protected:
    FakeSysBlock() { fs::create_directories(root_ / "devices"); }

    void Write(const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    // A disk with a `device` link to a device folder named `deviceName`.
    fs::path AddDisk(const std::string& name, const std::string& sectors,
                     const std::string& deviceName) {
        const fs::path disk = root_ / "block" / name;
        Write(disk / "size", sectors + "\n");
        if (!deviceName.empty()) {
            fs::create_directories(root_ / "devices" / deviceName);
            fs::create_directory_symlink(root_ / "devices" / deviceName, disk / "device");
        }
        return disk;
    }
    std::vector<SysfsDisk> Scan() {
        auto disks = ScanBlockDevices((root_ / "block").string());
        EXPECT_TRUE(disks.has_value());
        std::vector<SysfsDisk> found = disks.value_or(std::vector<SysfsDisk>{});
        std::sort(found.begin(), found.end(),
                  [](const SysfsDisk& a, const SysfsDisk& b) { return a.name < b.name; });
        return found;
    }

    test_support::ScratchFolder scratch_;
    const fs::path root_ = scratch_.path();
};

TEST_F(FakeSysBlock, ListsDisksWithADeviceAndBackedLoopsOnly) {
    AddDisk("sda", "1000", "2:0:5:0");
    AddDisk("vda", "2000", "virtio1");
    AddDisk("zram0", "4096", "");    // no controller behind it
    AddDisk("dm-0", "4096", "");     // a mapping, not a disk
    AddDisk("sdb", "0", "3:0:0:0");  // empty card reader slot
    const fs::path loop0 = AddDisk("loop0", "8192", "");
    Write(loop0 / "loop" / "backing_file", "/tmp/image.bin\n");
    AddDisk("loop1", "0", "");  // not attached
    const fs::path hidden = AddDisk("nvme0c0n1", "4096", "nvme0");
    Write(hidden / "hidden", "1\n");  // multipath path, not openable

    const std::vector<SysfsDisk> disks = Scan();
    ASSERT_EQ(disks.size(), 3u);
    EXPECT_EQ(disks[0].name, "loop0");
    EXPECT_EQ(disks[0].sizeBytes, 8192 * 512);
    EXPECT_EQ(disks[1].name, "sda");
    EXPECT_EQ(disks[1].sizeBytes, 1000 * 512);
    EXPECT_EQ(disks[1].scsiHost, 2);
    EXPECT_EQ(disks[1].scsiTarget, 5);
    EXPECT_EQ(disks[2].name, "vda");
    EXPECT_EQ(disks[2].scsiHost, 0);  // not a SCSI address
}

TEST_F(FakeSysBlock, ReadsModelAndSerialTrimmedFromTheFirstSourceThatHasOne) {
    const fs::path nvme = AddDisk("nvme0n1", "100", "nvme0");
    Write(root_ / "devices" / "nvme0" / "model", "Fast Disk 512GB                         \n");
    Write(root_ / "devices" / "nvme0" / "serial", "  S4EVNX0N123456     \n");
    const fs::path vda = AddDisk("vda", "100", "virtio1");
    Write(vda / "serial", "blkserial01\n");
    AddDisk("sda", "100", "0:0:0:0");
    // Unit serial number page: header, then the text with padding.
    Write(root_ / "devices" / "0:0:0:0" / "vpd_pg80",
          std::string("\x00\x80\x00\x0a", 4) + "  WD-12345");
    Write(root_ / "devices" / "0:0:0:0" / "wwid", "naa.5000c500a1b2c3d4\n");
    AddDisk("sdb", "100", "1:0:0:0");
    Write(root_ / "devices" / "1:0:0:0" / "wwid", "t10.ATA     Some Disk    XYZ\n");

    const std::vector<SysfsDisk> disks = Scan();
    ASSERT_EQ(disks.size(), 4u);
    EXPECT_EQ(disks[0].name, "nvme0n1");
    EXPECT_EQ(disks[0].model, "Fast Disk 512GB");
    EXPECT_EQ(disks[0].serial, "S4EVNX0N123456");  // as read: no pair swap
    EXPECT_EQ(disks[1].serial, "WD-12345");
    EXPECT_EQ(disks[2].serial, "t10.ATA     Some Disk    XYZ");
    EXPECT_EQ(disks[3].serial, "blkserial01");
    EXPECT_EQ(disks[3].model, "");
}

TEST_F(FakeSysBlock, MissingFolderIsAFailureAndPartitionsAreCounted) {
    EXPECT_FALSE(ScanBlockDevices((root_ / "nothing").string()).has_value());

    const fs::path disk = AddDisk("sdc", "100", "4:0:0:0");
    EXPECT_EQ(CountPartitionsIn(disk.string()), 0);
    Write(disk / "sdc1" / "partition", "1\n");
    Write(disk / "sdc2" / "partition", "2\n");
    fs::create_directories(disk / "queue");  // a subfolder that is no partition
    EXPECT_EQ(CountPartitionsIn(disk.string()), 2);
    EXPECT_EQ(CountPartitionsIn((root_ / "nothing").string()), -1);
}

TEST(MasterBootRecord, GivesTheFourEntryTypesOnlyWithTheBootSignature) {
    std::vector<std::uint8_t> sector(512, 0);
    sector[446 + 4] = 0x07;
    sector[446 + 3 * 16 + 4] = 0xEE;
    EXPECT_TRUE(MbrPartitionTypes(sector.data()).empty());  // no signature: no table
    sector[510] = 0x55;
    sector[511] = 0xAA;
    EXPECT_EQ(MbrPartitionTypes(sector.data()), (std::vector<std::uint8_t>{0x07, 0, 0, 0xEE}));
}

}  // namespace
}  // namespace platform::posix
