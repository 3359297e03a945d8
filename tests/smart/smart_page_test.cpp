// The SMART page index, the drive classifier and the ATA text clean-up.
#include "tests/smart/smart_page.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "smart/drive_registry.h"
#include "smart/smart_channel.h"

namespace {

std::vector<int> WalkedIds(const SmartDataBlock& block) {
    std::vector<int> ids;
    ForEachAttribute(block, [&ids](const std::uint8_t* entry) { ids.push_back(entry[0]); });
    return ids;
}

const std::initializer_list<int> kKvtIds = {1,   9,   12,  184, 195, 196, 197, 198, 199, 200,
                                            201, 202, 203, 204, 205, 206, 207, 208, 209};
const std::initializer_list<int> kRzbIds = {12, 229, 232, 233, 234, 235};

}  // namespace

TEST(SmartDataBlock, IndexIsCompactOverGapsInPageOrder) {
    SmartPage page;
    page.Entry(0, 1).Entry(1, 9).Entry(5, 12).Entry(29, 208);
    SmartDataBlock block;
    page.BuildInto(&block);

    EXPECT_EQ(block.entries[0], block.page.data() + 2);
    EXPECT_EQ(block.entries[1], block.page.data() + 14);
    EXPECT_EQ(block.entries[2], block.page.data() + 2 + 5 * 12);
    EXPECT_EQ(block.entries[3], block.page.data() + 2 + 29 * 12);
    EXPECT_EQ(block.entries[4], nullptr);
    EXPECT_EQ(WalkedIds(block), (std::vector<int>{1, 9, 12, 208}));
    EXPECT_EQ(0, std::memcmp(block.page.data(), page.Bytes(), kSmartPageBytes));
}

TEST(SmartDataBlock, BuildForgetsThePreviousPageAndClearEmptiesAll) {
    SmartDataBlock block;
    SmartPage full;
    for (int slot = 0; slot < kSmartAttributeSlots; ++slot)
        full.Add(static_cast<uint8_t>(slot + 1));
    full.BuildInto(&block);
    EXPECT_EQ(WalkedIds(block).size(), 30u);

    SmartPage one;
    one.Entry(3, 7);
    one.BuildInto(&block);
    EXPECT_EQ(WalkedIds(block), std::vector<int>{7});

    block.Clear();
    EXPECT_TRUE(WalkedIds(block).empty());
    for (std::uint8_t byte : block.page) ASSERT_EQ(byte, 0);
}

TEST(ClassifyDrive, RecognisesEachKindBySetOfIds) {
    SmartDataBlock block;
    SmartPage().AddIds(kKvtIds).BuildInto(&block);
    EXPECT_EQ(ClassifyDrive(block), kDriveKVT);

    SmartPage().AddIds(kRzbIds).AddIds({1, 9}).BuildInto(&block);
    EXPECT_EQ(ClassifyDrive(block), kDriveRZB);

    SmartPage().AddIds({5, 9, 12, 194}).BuildInto(&block);
    EXPECT_EQ(ClassifyDrive(block), kDriveUnknown);

    block.Clear();
    EXPECT_EQ(ClassifyDrive(block), kDriveUnknown);
}

TEST(ClassifyDrive, SecondKindWinsWhenBothSetsArePresent) {
    SmartDataBlock block;
    SmartPage().AddIds({229, 232, 233, 234, 235}).AddIds(kKvtIds).BuildInto(&block);
    EXPECT_EQ(ClassifyDrive(block), kDriveRZB);
}

TEST(ClassifyDrive, MissingOnlyAttribute209IsNotRecognised) {
    SmartDataBlock block;
    SmartPage()
        .AddIds(
            {1, 9, 12, 184, 195, 196, 197, 198, 199, 200, 201, 202, 203, 204, 205, 206, 207, 208})
        .BuildInto(&block);
    EXPECT_EQ(ClassifyDrive(block), kDriveUnknown);
}

TEST(ClassifyDrive, OrderAndRepetitionDoNotMatter) {
    SmartDataBlock block;
    SmartPage().AddIds({235, 12, 234, 12, 233, 232, 229, 235}).BuildInto(&block);
    EXPECT_EQ(ClassifyDrive(block), kDriveRZB);
}

TEST(FixAtaString, SwapsPairsAndCutsAtTheRightHandPadding) {
    // "ABC DEF GHI" padded to 40 bytes, stored with the characters of each pair swapped.
    std::string text = "ABC DEF GHI" + std::string(29, ' ');
    std::string field = text;
    for (std::size_t i = 0; i + 1 < field.size(); i += 2) std::swap(field[i], field[i + 1]);
    FixAtaString(&field[0], 40);
    EXPECT_STREQ(field.c_str(), "ABC DEF GHI");
}

TEST(FixAtaString, LeavesAllSpacesAndUnpaddedFieldsWhole) {
    char spaces[9] = "        ";
    FixAtaString(spaces, 8);
    EXPECT_STREQ(spaces, "        ");

    char full[9] = "BADC1032";
    FixAtaString(full, 8);
    EXPECT_STREQ(full, "ABCD0123");
}
