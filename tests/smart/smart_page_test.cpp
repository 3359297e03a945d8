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

const std::vector<int> kKvtIds = {1,   9,   12,  184, 195, 196, 197, 198, 199, 200,
                                  201, 202, 203, 204, 205, 206, 207, 208, 209};

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
    EXPECT_EQ(0, std::memcmp(block.page.data(), page.Bytes(), platform::ata::kPageBytes));
}

TEST(SmartDataBlock, BuildForgetsThePreviousPageAndClearEmptiesAll) {
    SmartDataBlock block;
    SmartPage full;
    for (int slot = 0; slot < platform::ata::kAttributeSlots; ++slot)
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

TEST(ClassifyDrive, RecognisesEachKindBySetOfIdsWithTheSecondKindWinning) {
    const struct {
        std::vector<int> ids;
        int kind;
    } cases[] = {
        {kKvtIds, kDriveKVT},
        {{12, 229, 232, 233, 234, 235, 1, 9}, kDriveRZB},
        {{5, 9, 12, 194}, kDriveUnknown},
        {{}, kDriveUnknown},
        // Both sets present: the second kind wins.
        {{229, 232, 233, 234, 235, 1,   9,   12,  184, 195, 196, 197,
          198, 199, 200, 201, 202, 203, 204, 205, 206, 207, 208, 209},
         kDriveRZB},
        // Only attribute 209 missing.
        {{1, 9, 12, 184, 195, 196, 197, 198, 199, 200, 201, 202, 203, 204, 205, 206, 207, 208},
         kDriveUnknown},
        // Order and repetition do not matter.
        {{235, 12, 234, 12, 233, 232, 229, 235}, kDriveRZB},
    };
    for (const auto& c : cases) {
        SmartDataBlock block;
        SmartPage().AddIds(c.ids).BuildInto(&block);
        EXPECT_EQ(ClassifyDrive(block), c.kind) << testing::PrintToString(c.ids);
    }
}

TEST(FixAtaString, SwapsPairsAndCutsOnlyAtRightHandPadding) {
    const struct {
        std::string text, fixed;
    } cases[] = {
        {"ABC DEF GHI" + std::string(29, ' '), "ABC DEF GHI"},
        {"        ", "        "},  // all spaces stay whole
        {"ABCD0123", "ABCD0123"},  // no padding to cut
        // A full field keeps its last word, an odd-length text its last letter.
        {"PROBE BLANK DISK WITH A FORTY CHAR MODEL", "PROBE BLANK DISK WITH A FORTY CHAR MODEL"},
        {"PRB BLANK 0005 FULLW", "PRB BLANK 0005 FULLW"},
        {"AB C" + std::string(4, ' '), "AB C"},
    };
    for (const auto& c : cases) {
        std::string field = c.text;  // stored with the characters of each pair swapped
        for (std::size_t i = 0; i + 1 < field.size(); i += 2) std::swap(field[i], field[i + 1]);
        FixAtaString(&field[0], static_cast<int>(field.size()));
        EXPECT_STREQ(field.c_str(), c.fixed.c_str());
    }
}
