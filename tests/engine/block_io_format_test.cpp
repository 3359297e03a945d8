#include <gtest/gtest.h>

#include <sstream>

#include "engine/block_io.h"
#include "tests/support/scratch.h"
#include "text/crlf_file_stream.h"

namespace {

TEST(DeviceSpeed, CountsDecimalMegabytesPerSecondAndZeroWithoutDeviceTime) {
    EXPECT_EQ(DeviceSpeed(0, 0, 1e9), 0.0);
    std::ostringstream printed;
    printed << DeviceSpeed(1024, 5000000000ULL, 1e9);  // 1 GiB in 5 s of 1 GHz ticks
    EXPECT_EQ(printed.str(), "214.748");
}

TEST(ProgressLine, ShowsDecimalGigabytesAndWallClockSpeed) {
    EXPECT_EQ(ProgressLine(1073741824, 1024, 5.0), "Addr: 1.07374[GB] Spd: 214.748[MB/s]");
    EXPECT_EQ(ProgressLine(2000000000, 1, 0.5), "Addr: 2[GB] Spd: 2.09715[MB/s]");
}

TEST(CrlfFileStream, StoresLineFeedsAsCrLfAppendsAndReadsBothLineEnds) {
    test_support::ScratchFolder scratch;
    const std::string path = (scratch.path() / "crlf.txt").string();
    for (const char* text : {"a,b\nc\n", "d\n"}) {
        CrlfFileStream out;
        out.open(path, text[0] == 'd');  // the second pass appends
        ASSERT_TRUE(out.good());
        out << text << std::flush;
        out.close();
        EXPECT_TRUE(out.good());
    }
    EXPECT_EQ(test_support::ReadBytes(path), "a,b\r\nc\r\nd\r\n");

    std::istringstream mixed("one\r\ntwo\nthree");
    std::string line;
    for (const char* expected : {"one", "two", "three"}) {
        ASSERT_TRUE(ReadTextLine(mixed, &line));
        EXPECT_EQ(line, expected);
    }
    EXPECT_FALSE(ReadTextLine(mixed, &line));
}

TEST(CrlfFileStream, FailsToOpenInAMissingFolder) {
    CrlfFileStream out;
    out.open(::testing::TempDir() + "no/such/folder/x.csv", true);
    EXPECT_FALSE(out.good());
    EXPECT_FALSE(out.is_open());
}

}  // namespace
