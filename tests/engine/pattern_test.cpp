// Pattern generation, block verification and the dump files.
#include "engine/pattern.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/random/mersenne_twister.hpp>
#include <filesystem>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/aligned_buffer.h"
#include "engine/test_context.h"
#include "platform/process.h"
#include "tests/support/scratch.h"
#include "text/operator_output.h"

namespace {

using test_support::ReadBytes;
using test_support::WriteBytes;

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

bool SameBlock(const BlockBuffer& a, const BlockBuffer& b) {
    return std::equal(a.data(), a.data() + kBlockBytes, b.data());
}

}  // namespace

TEST(PatternGenerator, DrawsAndSuccessivePatternsFollowTheTwistersOutputs) {
    CSSDTest test;
    test.patternGenerator.seed(5489u);
    EXPECT_EQ(test.NextPatternWord(), 3499211612u);  // the twister's first output
    boost::random::mt19937 reference(5489u);
    reference();
    for (int i = 2; i < 10000; ++i) ASSERT_EQ(test.NextPatternWord(), reference()) << i;
    EXPECT_EQ(test.NextPatternWord(), 4123659995u);  // its 10000th output

    test.patternGenerator.seed(7u);
    reference.seed(7u);
    BlockBuffer first;
    BlockBuffer second;
    FillPattern(test, first.words());
    FillPattern(test, second.words());
    for (const BlockBuffer* block : {&first, &second}) {
        for (std::uint32_t i = 0; i < kBlockBytes / 4; ++i)
            ASSERT_EQ(block->words()[i], reference());
    }
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
    EXPECT_EQ(block.words()[1], raw());
}

TEST(VerifyBlock, CountsBitsOncePerDamagedSectorAndAddsThemToTheTotals) {
    struct Case {
        const char* damage;
        std::function<void(std::uint8_t*)> apply;
        std::uint32_t bits;
        std::uint32_t sectors;
    };
    const std::vector<Case> cases = {
        {"none", [](std::uint8_t*) {}, 0, 0},
        {"one bit in the last byte", [](std::uint8_t* d) { d[kBlockBytes - 1] ^= 0x80; }, 1, 1},
        {"every byte inverted",
         [](std::uint8_t* d) {
             std::for_each(d, d + kBlockBytes, [](std::uint8_t& b) { b = ~b; });
         },
         8388608, 2048},
        {"two bits in one byte", [](std::uint8_t* d) { d[1000] ^= 0x11; }, 2, 1},
        {"adjacent sectors, one bit each",
         [](std::uint8_t* d) {
             d[511] ^= 0x40;
             d[512] ^= 0x02;
         },
         2, 2},
        {"three bits in sector 1, one in sector 2",
         [](std::uint8_t* d) {
             d[1000] ^= 0x11;
             d[1023] ^= 0x01;
             d[1024] ^= 0x01;
         },
         4, 2},
    };
    CSSDTest test;
    BlockBuffer pattern;
    FillPattern(test, pattern.words());
    for (const Case& c : cases) {
        BlockBuffer data;
        std::copy(pattern.data(), pattern.data() + kBlockBytes, data.data());
        c.apply(data.data());
        EXPECT_EQ(CountBitErrors(data.data(), pattern.data()), std::make_pair(c.bits, c.sectors))
            << c.damage;

        test.uncorrectableBitErrors = 10;
        test.sectorFailCount = 1;
        OutputCapture output;
        VerifyBlock(test, data.data(), pattern.data());
        const std::string printed = output.Take();
        const std::string expected =
            "Verify : " + std::to_string(c.bits) + " " + std::to_string(c.sectors) + "\n";
        EXPECT_EQ(printed, c.bits == 0 ? "" : expected) << c.damage;
        EXPECT_EQ(test.uncorrectableBitErrors, 10u + c.bits) << c.damage;
        EXPECT_EQ(test.sectorFailCount, 1u + c.sectors) << c.damage;

        // The read loops' sweep says and counts the same, and leaves zeros.
        VerifyAndClearBlock(test, data.data(), pattern.data());
        EXPECT_EQ(output.Take(), printed) << c.damage;
        EXPECT_EQ(test.uncorrectableBitErrors, 10u + 2 * c.bits) << c.damage;
        EXPECT_EQ(test.sectorFailCount, 1u + 2 * c.sectors) << c.damage;
        EXPECT_TRUE(std::all_of(data.data(), data.data() + kBlockBytes, [](std::uint8_t b) {
            return b == 0;
        })) << c.damage;
    }
}

class DumpFileTest : public testing::Test {
protected:
    void SetUp() override {
        test.driveNumber = 200;
        test.programFolder = program.wide();
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
    test_support::ScratchFolder program;
    CSSDTest test;
};

TEST_F(DumpFileTest, WrittenPatternsReadBackExactlyAndARewriteReplacesThem) {
    EXPECT_EQ(DumpFileName(2, test),
              platform::JoinPath(program.wide(),
                                 L"drive" + std::to_wstring(test.driveNumber) + L"_DumpFile2.dat"));
    BlockBuffer current;
    BlockBuffer previous;  // zero-filled, as after a first round
    FillPattern(test, current.words());
    WriteDumpFiles(test, current.data(), previous.data());
    for (int k = 1; k <= 2; ++k) {
        EXPECT_EQ(std::filesystem::file_size(Path(k)), kBlockBytes) << k;
        EXPECT_FALSE(std::filesystem::exists(Path(k) + ".tmp")) << "temporary file left behind";
    }
    BlockBuffer loaded;
    ReadDumpFile(test, loaded.data());
    EXPECT_TRUE(SameBlock(loaded, current));
    EXPECT_EQ(ReadBytes(Path(2)), std::string(kBlockBytes, '\0'));

    FillPattern(test, previous.words());
    WriteDumpFiles(test, previous.data(), current.data());
    ReadDumpFile(test, loaded.data());
    EXPECT_TRUE(SameBlock(loaded, previous));
}

TEST_F(DumpFileTest, AMissingOrShortDumpFileFailsWithErrnoOrItsLength) {
    EXPECT_EQ(ReadFailure(), "Dump File Open Failed:2");
    WriteBytes(Path(1), std::string(1000, 'x'));
    EXPECT_EQ(ReadFailure(), "Dump File Read Failed:1000");
    WriteBytes(Path(1), std::string(kBlockBytes - 1, 'x'));
    EXPECT_EQ(ReadFailure(), "Dump File Read Failed:1048575");
}

TEST_F(DumpFileTest, UnwritableDumpFileIsReportedAndTheOtherStillWritten) {
    BlockBuffer current;
    BlockBuffer previous;
    FillPattern(test, current.words());
    FillPattern(test, previous.words());
    WriteBytes(Path(1), "old dump");
    // A folder where the temporary file should go makes dump file 1 unwritable.
    ASSERT_TRUE(std::filesystem::create_directory(Path(1) + ".tmp"));

    const OutputCapture output;
    WriteDumpFiles(test, current.data(), previous.data());
    EXPECT_EQ(output.Text(), "Dump File Write Failed: " + Path(1) + ": Is a directory\n");
    EXPECT_EQ(ReadBytes(Path(1)), "old dump");
    EXPECT_EQ(std::filesystem::file_size(Path(2)), kBlockBytes);
}
