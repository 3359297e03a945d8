#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "engine/block_io.h"
#include "engine/crlf_file_stream.h"

namespace {

TEST(DeviceSpeed, IsZeroWithoutDeviceTime) { EXPECT_EQ(DeviceSpeed(0, 0, 1e9), 0.0); }

TEST(DeviceSpeed, CountsDecimalMegabytesPerSecond) {
    const double frequency = 1e9;
    const std::uint64_t fiveSeconds = 5000000000ULL;
    std::ostringstream printed;
    printed << DeviceSpeed(1024, fiveSeconds, frequency);
    EXPECT_EQ(printed.str(), "214.748");
}

TEST(ProgressLine, ShowsDecimalGigabytesAndWallClockSpeed) {
    EXPECT_EQ(ProgressLine(1073741824, 1024, 5.0), "Addr: 1.07374[GB] Spd: 214.748[MB/s]");
    EXPECT_EQ(ProgressLine(2000000000, 1, 0.5), "Addr: 2[GB] Spd: 2.09715[MB/s]");
}

TEST(CrlfFileStream, StoresLineFeedsAsCrLfAndAppends) {
    const std::string path = ::testing::TempDir() + "crlf_stream_test.txt";
    {
        CrlfFileStream out;
        out.open(path, false);
        ASSERT_TRUE(out.good());
        out << "a,b\nc" << '\n' << std::flush;
        out.close();
        EXPECT_TRUE(out.good());
    }
    {
        CrlfFileStream out;
        out.open(path, true);
        out << "d\n";
    }
    std::ifstream in(path, std::ios::binary);
    const std::string stored((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
    EXPECT_EQ(stored, "a,b\r\nc\r\nd\r\n");

    std::istringstream mixed("one\r\ntwo\nthree");
    std::string line;
    ASSERT_TRUE(ReadTextLine(mixed, &line));
    EXPECT_EQ(line, "one");
    ASSERT_TRUE(ReadTextLine(mixed, &line));
    EXPECT_EQ(line, "two");
    ASSERT_TRUE(ReadTextLine(mixed, &line));
    EXPECT_EQ(line, "three");
    EXPECT_FALSE(ReadTextLine(mixed, &line));
}

TEST(CrlfFileStream, FailsToOpenInAMissingFolder) {
    CrlfFileStream out;
    out.open(::testing::TempDir() + "no/such/folder/x.csv", true);
    EXPECT_FALSE(out.good());
    EXPECT_FALSE(out.is_open());
}

}  // namespace
