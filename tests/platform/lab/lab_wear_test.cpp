// The wear model: the error rate curve and the error draws of both regimes.
#include "platform/lab/lab_wear.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using platform::lab::BitErrorSampler;
using platform::lab::RawBitErrorRate;
using platform::lab::ReadErrors;
using platform::lab::WearParams;

TEST(LabWear, RateRisesLogLinearlyThroughTheRatedCyclesUpToItsCeiling) {
    WearParams wear;  // 1e-8 fresh, 1e-4 at 30 cycles, at most 2e-3
    EXPECT_DOUBLE_EQ(RawBitErrorRate(wear, 0), 1e-8);
    EXPECT_NEAR(RawBitErrorRate(wear, 15), 1e-6, 1e-12);
    EXPECT_NEAR(RawBitErrorRate(wear, 30), 1e-4, 1e-10);
    EXPECT_NEAR(RawBitErrorRate(wear, 37.5), 1e-3, 1e-9);
    EXPECT_DOUBLE_EQ(RawBitErrorRate(wear, 100), 2e-3);
    wear.rberStart = 0;
    EXPECT_EQ(RawBitErrorRate(wear, 30), 0.0);
}

/// Reads `megabytes` of zeros at `rber`; the summed outcome and the bits the host saw.
ReadErrors Draw(double rber, std::uint32_t eccBits, int megabytes, std::uint64_t* hostBits) {
    BitErrorSampler sampler(99);
    std::vector<unsigned char> data(1 << 20);
    ReadErrors total;
    *hostBits = 0;
    for (int i = 0; i < megabytes; ++i) {
        std::fill(data.begin(), data.end(), 0);
        const ReadErrors one = sampler.Apply(data.data(), 2048, rber, eccBits);
        total.errorBits += one.errorBits;
        total.correctableSectors += one.correctableSectors;
        total.uncorrectableSectors += one.uncorrectableSectors;
        for (unsigned char byte : data)
            *hostBits += static_cast<unsigned>(__builtin_popcount(byte));
    }
    return total;
}

TEST(LabWear, ErrorCountsFollowTheRateInBothDrawRegimes) {
    for (double rber : {3e-5, 1e-3}) {  // by gaps, then per sector
        SCOPED_TRACE(rber);
        std::uint64_t hostBits = 0;
        const ReadErrors errors = Draw(rber, 4096, 8, &hostBits);
        const double expected = rber * 8 * 2048 * 4096;
        EXPECT_NEAR(static_cast<double>(errors.errorBits), expected, 5 * std::sqrt(expected));
        EXPECT_EQ(hostBits, 0u);
        EXPECT_EQ(errors.uncorrectableSectors, 0u);
        EXPECT_GT(errors.correctableSectors, 0u);
    }
}

TEST(LabWear, OnlySectorsBeyondTheEccLimitReachTheHostFlipped) {
    for (double rber : {1e-4, 2e-3}) {  // by gaps, then per sector
        SCOPED_TRACE(rber);
        std::uint64_t hostBits = 0;
        const ReadErrors limited = Draw(rber, 8, 4, &hostBits);
        EXPECT_GT(limited.correctableSectors, 0u);
        // Each uncorrectable sector shows at least eccBits + 1 flipped bits, and
        // no corrected error bit shows at all.
        EXPECT_GE(hostBits, 9 * limited.uncorrectableSectors);
        EXPECT_LE(hostBits, limited.errorBits);

        // Without ECC every error bit shows, each on a bit of its own.
        const ReadErrors none = Draw(rber, 0, 4, &hostBits);
        EXPECT_EQ(hostBits, none.errorBits);
        EXPECT_EQ(none.correctableSectors, 0u);
    }
}

}  // namespace
