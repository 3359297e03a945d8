// The kept disk list: sorted, filled once, retried after a failure.
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

TEST(KeptDiskList, FailureKeepsNothingAndTheNextCallTriesAgainEmptyIsSuccess) {
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

    // An empty machine is a success that leaves an empty list.
    KeptDiskList none([](std::vector<DiskRecord>*) { return true; });
    EXPECT_TRUE(none.CopyTo(&disks));
    EXPECT_TRUE(disks.empty());
}
