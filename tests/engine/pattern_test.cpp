// Pattern generation, block verification and the dump files.
#include "engine/pattern.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/random/mersenne_twister.hpp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/aligned_buffer.h"
#include "engine/ssd_test.h"
#include "own_drive_number.h"
#include "platform/process.h"

namespace {

// Inverse of the twister's output tempering, to place a chosen output.
std::uint32_t Untemper(std::uint32_t y) {
    y ^= y >> 18;
    y ^= (y << 15) & 0xefc60000u;
    std::uint32_t x = y;
    for (int i = 0; i < 5; ++i) x = y ^ ((x << 7) & 0x9d2c5680u);
    y = x;
    for (int i = 0; i < 3; ++i) x = y ^ (x >> 11);
    return x;
}

// A twister state whose next two outputs are 0xFFFFFFFF and `second`: after
// the state is read the twister regenerates, and with words 0 and 1 zero the
// new word 0 is word 397 and the new word 1 is word 398.
std::string StateWithMaxOutputFirst(std::uint32_t second) {
    std::vector<std::uint32_t> words(624, 0);
    words[397] = Untemper(0xFFFFFFFFu);
    words[398] = Untemper(second);
    std::ostringstream text;
    for (auto word : words) text << word << ' ';
    return text.str();
}

std::string CaptureVerify(CSSDTest& test, const BlockBuffer& data, const BlockBuffer& pattern) {
    testing::internal::CaptureStdout();
    VerifyBlock(test, data.data(), pattern.data());
    return testing::internal::GetCapturedStdout();
}

class VerifyTest : public testing::Test {
protected:
    void SetUp() override {
        FillPattern(test, pattern.words());
        std::copy(pattern.data(), pattern.data() + kBlockBytes, data.data());
    }
    CSSDTest test;
    BlockBuffer pattern;
    BlockBuffer data;
};

}  // namespace

TEST(PatternGenerator, DrawsAreTheTwistersOutputs) {
    CSSDTest test;
    test.patternGenerator.seed(5489u);
    EXPECT_EQ(test.NextPatternWord(), 3499211612u);  // the twister's first output
    boost::random::mt19937 reference(5489u);
    reference();
    for (int i = 2; i < 10000; ++i) ASSERT_EQ(test.NextPatternWord(), reference()) << i;
    EXPECT_EQ(test.NextPatternWord(), 4123659995u);  // its 10000th output
}

TEST(PatternGenerator, SkipsTheOutputAllOnes) {
    const std::string state = StateWithMaxOutputFirst(0x12345678u);
    boost::random::mt19937 raw;
    std::istringstream(state) >> raw;
    ASSERT_EQ(raw(), 0xFFFFFFFFu);
    ASSERT_EQ(raw(), 0x12345678u);

    CSSDTest test;
    std::istringstream(state) >> test.patternGenerator;
    BlockBuffer block;
    FillPattern(test, block.words());
    EXPECT_EQ(block.words()[0], 0x12345678u);
    boost::random::mt19937 rest;
    std::istringstream(state) >> rest;
    rest();
    rest();
    EXPECT_EQ(block.words()[1], rest());
}

TEST(PatternGenerator, SuccessivePatternsContinueTheSequence) {
    CSSDTest test;
    test.patternGenerator.seed(7u);
    BlockBuffer first;
    BlockBuffer second;
    FillPattern(test, first.words());
    FillPattern(test, second.words());
    boost::random::mt19937 reference(7u);
    for (std::uint32_t i = 0; i < kBlockBytes / 4; ++i) ASSERT_EQ(first.words()[i], reference());
    for (std::uint32_t i = 0; i < kBlockBytes / 4; ++i) ASSERT_EQ(second.words()[i], reference());
}

TEST_F(VerifyTest, IdenticalBlockPrintsAndAddsNothing) {
    test.uncorrectableBitErrors = 5;
    test.sectorFailCount = 3;
    EXPECT_EQ(CaptureVerify(test, data, pattern), "");
    EXPECT_EQ(test.uncorrectableBitErrors, 5u);
    EXPECT_EQ(test.sectorFailCount, 3u);
}

TEST_F(VerifyTest, OneBitInTheLastByte) {
    data.data()[kBlockBytes - 1] ^= 0x80;
    EXPECT_EQ(CaptureVerify(test, data, pattern), "Verify : 1 1\n");
    EXPECT_EQ(test.uncorrectableBitErrors, 1u);
    EXPECT_EQ(test.sectorFailCount, 1u);
}

TEST_F(VerifyTest, EveryByteInvertedAddsToTheTotals) {
    for (std::uint32_t i = 0; i < kBlockBytes; ++i) data.data()[i] = ~data.data()[i];
    test.uncorrectableBitErrors = 10;
    test.sectorFailCount = 1;
    EXPECT_EQ(CaptureVerify(test, data, pattern), "Verify : 8388608 2048\n");
    EXPECT_EQ(test.uncorrectableBitErrors, 8388618u);
    EXPECT_EQ(test.sectorFailCount, 2049u);
}

TEST_F(VerifyTest, SectorsAreCountedOncePerDamagedSector) {
    data.data()[1000] ^= 0x11;  // two bits in one byte of sector 1
    EXPECT_EQ(CountBitErrors(data.data(), pattern.data()), std::make_pair(2u, 1u));
    data.data()[1023] ^= 0x01;  // last byte of sector 1
    data.data()[1024] ^= 0x01;  // first byte of sector 2
    EXPECT_EQ(CountBitErrors(data.data(), pattern.data()), std::make_pair(4u, 2u));
    EXPECT_EQ(CaptureVerify(test, data, pattern), "Verify : 4 2\n");
}

TEST_F(VerifyTest, AdjacentSectorsOneBitEach) {
    data.data()[511] ^= 0x40;
    data.data()[512] ^= 0x02;
    EXPECT_EQ(CaptureVerify(test, data, pattern), "Verify : 2 2\n");
}

class DumpFileTest : public testing::Test {
protected:
    void SetUp() override {
        test.driveNumber = OwnDriveNumber(200);
        Cleanup();
    }
    void TearDown() override { Cleanup(); }
    void Cleanup() {
        for (int k = 1; k <= 2; ++k) {
            const std::string path = platform::NativePath(DumpFileName(k, test));
            std::remove(path.c_str());
            std::remove((path + ".tmp").c_str());
        }
    }
    std::string Path(int k) { return platform::NativePath(DumpFileName(k, test)); }
    std::string ReadFailure() {
        BlockBuffer buffer;
        try {
            ReadDumpFile(test, buffer.data());
        } catch (const std::runtime_error& failure) {
            return failure.what();
        }
        return "no failure";
    }
    CSSDTest test;
};

TEST_F(DumpFileTest, NamesFollowTheDriveNumberInTheProgramFolder) {
    const std::wstring name = DumpFileName(2, test);
    const std::wstring expected =
        platform::JoinPath(platform::ProgramFolder(),
                           L"drive" + std::to_wstring(test.driveNumber) + L"_DumpFile2.dat");
    EXPECT_EQ(name, expected);
}

TEST_F(DumpFileTest, WrittenPatternsReadBackExactly) {
    BlockBuffer current;
    BlockBuffer previous;  // zero-filled, as after a first round
    FillPattern(test, current.words());
    WriteDumpFiles(test, current.data(), previous.data());

    for (int k = 1; k <= 2; ++k) {
        std::ifstream file(Path(k), std::ios::binary | std::ios::ate);
        EXPECT_EQ(file.tellg(), std::streampos(kBlockBytes)) << k;
        std::ifstream tmp(Path(k) + ".tmp");
        EXPECT_FALSE(tmp.is_open()) << "temporary file left behind";
    }
    BlockBuffer loaded;
    ReadDumpFile(test, loaded.data());
    EXPECT_TRUE(std::equal(loaded.data(), loaded.data() + kBlockBytes, current.data()));

    std::ifstream second(Path(2), std::ios::binary);
    std::vector<char> bytes(kBlockBytes, 1);
    second.read(bytes.data(), kBlockBytes);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == 0; }));
}

TEST_F(DumpFileTest, RewritingReplacesTheOldDump) {
    BlockBuffer first;
    BlockBuffer second;
    FillPattern(test, first.words());
    FillPattern(test, second.words());
    WriteDumpFiles(test, first.data(), second.data());
    WriteDumpFiles(test, second.data(), first.data());
    BlockBuffer loaded;
    ReadDumpFile(test, loaded.data());
    EXPECT_TRUE(std::equal(loaded.data(), loaded.data() + kBlockBytes, second.data()));
}

TEST_F(DumpFileTest, MissingDumpFileFailsWithErrno) {
    EXPECT_EQ(ReadFailure(), "Dump File Open Failed:2");
}

TEST_F(DumpFileTest, ShortDumpFileFailsWithItsLength) {
    {
        std::ofstream file(Path(1), std::ios::binary);
        file << std::string(1000, 'x');
    }
    EXPECT_EQ(ReadFailure(), "Dump File Read Failed:1000");
    {
        std::ofstream file(Path(1), std::ios::binary | std::ios::trunc);
        file << std::string(kBlockBytes - 1, 'x');
    }
    EXPECT_EQ(ReadFailure(), "Dump File Read Failed:1048575");
}

TEST_F(DumpFileTest, UnwritableDumpFileIsReportedAndTheOtherStillWritten) {
    BlockBuffer current;
    BlockBuffer previous;
    FillPattern(test, current.words());
    FillPattern(test, previous.words());
    {
        std::ofstream old(Path(1), std::ios::binary);
        old << "old dump";
    }
    // A folder where the temporary file should go makes dump file 1 unwritable.
    const std::string blocker = Path(1) + ".tmp";
    ASSERT_EQ(std::system(("mkdir '" + blocker + "'").c_str()), 0);

    testing::internal::CaptureStdout();
    WriteDumpFiles(test, current.data(), previous.data());
    const std::string output = testing::internal::GetCapturedStdout();
    std::system(("rmdir '" + blocker + "'").c_str());

    EXPECT_EQ(output, "Dump File Write Failed: " + Path(1) + ": Is a directory\n");
    std::ifstream old(Path(1), std::ios::binary);
    std::string oldContent;
    std::getline(old, oldContent);
    EXPECT_EQ(oldContent, "old dump");
    std::ifstream second(Path(2), std::ios::binary | std::ios::ate);
    EXPECT_EQ(second.tellg(), std::streampos(kBlockBytes));
}
