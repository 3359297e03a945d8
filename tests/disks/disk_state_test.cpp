// The kept disk list and the helpers of the system's disk records.
#include "disks/disk_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "disks/kept_disk_list.h"

namespace {

DiskRecord Disk(int index, const wchar_t* model) {
    DiskRecord disk;
    disk.Index = index;
    disk.Model = model;
    return disk;
}

std::vector<int> Indexes(const std::vector<DiskRecord>& disks) {
    std::vector<int> indexes;
    for (const DiskRecord& disk : disks) indexes.push_back(disk.Index);
    return indexes;
}

}  // namespace

TEST(ParseDeviceIdIndex, TakesTheWholeTrailingNumber) {
    EXPECT_EQ(ParseDeviceIdIndex(L"\\\\.\\PHYSICALDRIVE3"), 3);
    EXPECT_EQ(ParseDeviceIdIndex(L"\\\\.\\PHYSICALDRIVE12"), 12);
    EXPECT_EQ(ParseDeviceIdIndex(L"\\\\.\\PHYSICALDRIVE123"), 123);
    EXPECT_EQ(ParseDeviceIdIndex(L"\\\\.\\PHYSICALDRIVE0"), 0);
    EXPECT_EQ(ParseDeviceIdIndex(L"\\\\.\\PHYSICALDRIVE"), 0);
    EXPECT_EQ(ParseDeviceIdIndex(L""), 0);
    EXPECT_EQ(ParseDeviceIdIndex(L"\\\\.\\PHYSICALDRIVE99999999999"), 0);
}

TEST(SwapSerialPairs, SwapsNeighboursLeavingAnOddLastCharacter) {
    EXPECT_EQ(SwapSerialPairs(L"1A2B3C"), L"A1B2C3");
    EXPECT_EQ(SwapSerialPairs(L"12345"), L"21435");
    EXPECT_EQ(SwapSerialPairs(L""), L"");
    EXPECT_EQ(SwapSerialPairs(L"7"), L"7");
}

TEST(KeptDiskList, SortsByIndexAndEnumeratesOnlyOnce) {
    int calls = 0;
    std::vector<DiskRecord> system = {Disk(10, L"c"), Disk(0, L"a"), Disk(2, L"b")};
    KeptDiskList kept([&](std::vector<DiskRecord>* disks) {
        ++calls;
        *disks = system;
        return true;
    });

    std::vector<DiskRecord> first = {Disk(99, L"stale")};
    ASSERT_TRUE(kept.CopyTo(&first));
    EXPECT_EQ(Indexes(first), (std::vector<int>{0, 2, 10}));
    EXPECT_EQ(first[2].Model, L"c");

    system.push_back(Disk(5, L"added later"));
    std::vector<DiskRecord> second;
    ASSERT_TRUE(kept.CopyTo(&second));
    EXPECT_EQ(Indexes(second), (std::vector<int>{0, 2, 10}));
    EXPECT_EQ(calls, 1);
}

TEST(KeptDiskList, FailureKeepsNothingAndTheNextCallTriesAgain) {
    int calls = 0;
    KeptDiskList kept([&](std::vector<DiskRecord>* disks) {
        ++calls;
        disks->push_back(Disk(calls, L"x"));
        return calls > 1;  // the first enumeration fails part-way
    });

    std::vector<DiskRecord> disks = {Disk(7, L"caller's")};
    EXPECT_FALSE(kept.CopyTo(&disks));
    EXPECT_EQ(Indexes(disks), std::vector<int>{7});

    EXPECT_TRUE(kept.CopyTo(&disks));
    EXPECT_EQ(Indexes(disks), std::vector<int>{2});
    EXPECT_EQ(calls, 2);
}

TEST(KeptDiskList, AnEmptyMachineIsASuccess) {
    KeptDiskList kept([](std::vector<DiskRecord>*) { return true; });
    std::vector<DiskRecord> disks = {Disk(1, L"old")};
    EXPECT_TRUE(kept.CopyTo(&disks));
    EXPECT_TRUE(disks.empty());
}
