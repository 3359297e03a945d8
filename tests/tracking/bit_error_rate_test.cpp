// Raw and uncorrectable bit error rates as the result log writes them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tracking/drive_check.h"
#include "tracking/result_log.h"

namespace {

// The stream's default form, as the result log writes doubles.
std::string Printed(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

TEST(UncorrectableBitErrorRate, MatchesKnownEstimatesToSixDigits) {
    const std::vector<std::tuple<int, double, std::string>> known = {
        {8, 0.0001, "1.55051e-13"},
        {12, 0.0001, "2.59015e-19"},
        {8, 0.001, "6.06038e-06"},
        {12, 0.001, "8.72488e-08"},
        {8, 0.0, "0"},
        {12, 0.0, "0"},
        // Nearly every codeword then holds more than t errors: about 1/4096.
        {8, 0.01, "0.00024414"},
        {12, 0.01, "0.00024414"},
    };
    for (const auto& [bits, rawRate, expected] : known) {
        EXPECT_EQ(Printed(UncorrectableBitErrorRate(bits, rawRate)), expected)
            << bits << " bit, " << rawRate;
    }
    EXPECT_EQ(UncorrectableBitErrorRate(8, 0.0), 0.0) << "exactly zero without raw errors";
    for (double p : {1e-7, 1e-5, 1e-3}) {
        EXPECT_GT(UncorrectableBitErrorRate(8, p), 0) << p;
        EXPECT_LT(UncorrectableBitErrorRate(12, p), UncorrectableBitErrorRate(8, p))
            << "stronger correction, lower rate at " << p;
    }
}

TEST(RawBitErrorRate, IsErrorBitsPerBitReadWithUnsignedCounters) {
    EXPECT_EQ(RawBitErrorRate(1000000, 1000000000), 2.44140625e-7);
    EXPECT_EQ(RawBitErrorRate(0, 5), 0.0);
    const std::uint64_t twoTo63 = std::uint64_t{1} << 63;
    EXPECT_EQ(RawBitErrorRate(twoTo63, 1), 9.223372036854775808e18 / 4096);
    EXPECT_EQ(RawBitErrorRate(1, twoTo63), 1 / (9.223372036854775808e18 * 4096));
    // Without read sectors: not a number, or infinite.
    EXPECT_TRUE(std::isnan(RawBitErrorRate(0, 0)));
    EXPECT_TRUE(std::isinf(RawBitErrorRate(7, 0)));
    EXPECT_GT(RawBitErrorRate(7, 0), 0);
}

}  // namespace
