// The error map: which blocks had errors in each round, bounded per round,
// appended beside the result log with rounds numbered on from the file.
#include "engine/error_map.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/scratch.h"

namespace {

constexpr std::int64_t kMib = 1048576;

TEST(ErrorMap, ListsBlocksWithErrorsThenCountsTheRestAndTotalsTheRound) {
    ErrorMap map;
    map.Note(0, 0, 0);  // clean blocks are not listed, only verified
    map.Note(3 * kMib, 12, 1);
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(ErrorMap::kListedBlocks) + 2; ++i)
        map.Note((10 + i) * kMib, 2, 0);
    const std::string round = map.TakeRound(4, "T", 7, true);

    EXPECT_EQ(round.rfind("4,T,7,block,3,1,12,1\n", 0), 0u);
    EXPECT_EQ(std::count(round.begin(), round.end(), '\n'),
              static_cast<long>(ErrorMap::kListedBlocks) + 2);
    // The listed ones end at the 10,000th block with errors (offset 10 + 9998).
    EXPECT_NE(round.find("4,T,7,block,10008,1,2,0\n4,T,7,rest,10009,3,6,0\n"), std::string::npos);
    const std::uint64_t bits = 12 + 2 * (ErrorMap::kListedBlocks + 2);
    EXPECT_NE(round.find("4,T,7,round end,10012,10003," + std::to_string(bits) + ",1\n"),
              std::string::npos);
    EXPECT_FALSE(map.HasRound()) << "the next round starts empty";
}

TEST(ErrorMap, AbandonedAndReadOnlyRoundsSayHowTheyEnded) {
    ErrorMap map;
    map.Note(5 * kMib, 0, 0);
    EXPECT_EQ(map.TakeRound(1, "T", 0, false), "1,T,0,abandoned,6,0,0,0\n");
    map.SetReadOnly(true);
    map.Note(0, 1, 0);
    EXPECT_EQ(map.TakeRound(2, "T", 0, true), "2,T,0,block,0,1,1,0\n2,T,0,read-only,1,1,1,0\n");
}

TEST(ErrorMapFile, NamedAfterTheLogAndNumberedOnAcrossRuns) {
    EXPECT_EQ(ErrorMapPath(L"/d/drive1_M X.csv"), L"/d/drive1_M X.errors.csv");
    EXPECT_EQ(LastMappedRound(""), 0u);
    EXPECT_EQ(LastMappedRound(std::string(ErrorMap::kHeader) + "\n"), 0u);
    EXPECT_EQ(LastMappedRound("h\n7,T,1,round end,9,0,0,0\n8,T,1,blo"), 7u) << "torn tail";

    test_support::ScratchFolder folder;
    const std::wstring path = (folder.path() / "drive1_M.errors.csv").wstring();
    ErrorMap map;
    map.Note(kMib, 3, 0);
    EXPECT_EQ(AppendErrorMapRound(map, path, "T", 1, true), "");
    {
        std::ofstream torn(folder.path() / "drive1_M.errors.csv", std::ios::app);
        torn << "2,T,1,blo";  // a crash while appending
    }
    ErrorMap next;  // a later run
    next.Note(0, 0, 0);
    EXPECT_EQ(AppendErrorMapRound(next, path, "U", 2, true), "");
    EXPECT_EQ(test_support::ReadBytes(folder.path() / "drive1_M.errors.csv"),
              std::string(ErrorMap::kHeader) +
                  "\n1,T,1,block,1,1,3,0\n1,T,1,round end,2,1,3,0\n2,T,1,blo\n"
                  "2,U,2,round end,1,0,0,0\n");

    EXPECT_NE(AppendErrorMapRound(next, (folder.path() / "no/such/x.csv").wstring(), "T", 0, true),
              "");
}

}  // namespace
