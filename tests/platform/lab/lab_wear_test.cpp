// The wear model: the log-linear curve, the nested error draws of a block, and
// the flash model against the published rates.
#include "platform/lab/lab_wear.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/lab/lab_flash_model.h"

namespace {

using platform::lab::ApplyBlockErrors;
using platform::lab::BlockRead;
using platform::lab::FlashParams;
using platform::lab::FlashRber;
using platform::lab::PhysicalBlock;
using platform::lab::RawBitErrorRate;
using platform::lab::ReadErrors;
using platform::lab::WearParams;

constexpr std::size_t kBlockSectors = 512;  // 256 KiB

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

/// Reads `blocks` blocks of zeros at `rber` (each block its own seed); the
/// summed outcome and the bits the host saw.
ReadErrors Draw(double rber, std::uint32_t eccBits, int blocks, std::uint64_t* hostBits,
                double shape = 4) {
    std::vector<unsigned char> data(kBlockSectors * 512);
    ReadErrors total;
    *hostBits = 0;
    for (int i = 0; i < blocks; ++i) {
        std::fill(data.begin(), data.end(), 0);
        const BlockRead block{static_cast<std::uint64_t>(i) * 7919 + 1, 0, rber, shape};
        const ReadErrors one = ApplyBlockErrors(data.data(), kBlockSectors, block, eccBits);
        total.errorBits += one.errorBits;
        total.correctableSectors += one.correctableSectors;
        total.uncorrectableSectors += one.uncorrectableSectors;
        for (unsigned char byte : data)
            *hostBits += static_cast<unsigned>(__builtin_popcount(byte));
    }
    return total;
}

TEST(LabWear, ErrorCountsFollowTheRate) {
    for (double rber : {3e-5, 1e-3}) {
        SCOPED_TRACE(rber);
        std::uint64_t hostBits = 0;
        const ReadErrors errors = Draw(rber, 4096, 32, &hostBits);
        const double expected = rber * 32 * kBlockSectors * 4096;
        EXPECT_NEAR(static_cast<double>(errors.errorBits), expected, 0.1 * expected);
        EXPECT_EQ(hostBits, 0u);
        EXPECT_EQ(errors.uncorrectableSectors, 0u);
        EXPECT_GT(errors.correctableSectors, 0u);
    }
}

TEST(LabWear, OnlySectorsBeyondTheEccLimitReachTheHostFlipped) {
    for (double rber : {1e-4, 2e-3}) {
        SCOPED_TRACE(rber);
        std::uint64_t hostBits = 0;
        const ReadErrors limited = Draw(rber, 8, 16, &hostBits);
        EXPECT_GT(limited.correctableSectors, 0u);
        // Each uncorrectable sector shows at least eccBits + 1 flipped bits, and
        // no corrected error bit shows at all.
        EXPECT_GE(hostBits, 9 * limited.uncorrectableSectors);
        EXPECT_LE(hostBits, limited.errorBits);

        // Without ECC every error bit shows, each on a bit of its own.
        const ReadErrors none = Draw(rber, 0, 16, &hostBits);
        EXPECT_EQ(hostBits, none.errorBits);
        EXPECT_EQ(none.correctableSectors, 0u);
    }
}

/// The bits one read of a block of zeros flips without ECC, at `rber`.
std::vector<unsigned char> Flipped(std::uint64_t seed, std::uint64_t firstSector,
                                   std::size_t sectors, double rber) {
    std::vector<unsigned char> data(sectors * 512, 0);
    ApplyBlockErrors(data.data(), sectors, BlockRead{seed, firstSector, rber, 4}, 0);
    return data;
}

TEST(LabWear, ErrorsAreNestedInTheRateAndFixedByTheSeed) {
    const auto low = Flipped(42, 0, kBlockSectors, 1e-4);
    EXPECT_EQ(Flipped(42, 0, kBlockSectors, 1e-4), low);  // the same bits again
    const auto high = Flipped(42, 0, kBlockSectors, 3e-4);
    std::size_t kept = 0, added = 0;
    for (std::size_t i = 0; i < low.size(); ++i) {
        EXPECT_EQ(low[i] & ~high[i], 0) << "byte " << i << " lost an error bit";
        kept += static_cast<std::size_t>(__builtin_popcount(low[i]));
        added += static_cast<std::size_t>(__builtin_popcount(high[i] & ~low[i]));
    }
    EXPECT_GT(kept, 100u);
    EXPECT_GT(added, kept);
    // A read of part of the block meets the same bits there as a whole read.
    const auto tail = Flipped(42, 500, 12, 3e-4);
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), high.begin() + 500 * 512));
    EXPECT_NE(Flipped(43, 0, kBlockSectors, 1e-4), low);  // rewritten: other bits
}

TEST(LabWear, SectorCountsAreOverdispersedOnlyWithASectorShape) {
    for (const double shape : {0.0, 2.0}) {
        SCOPED_TRACE(shape);
        std::vector<unsigned char> data(kBlockSectors * 512);
        double sum = 0, squares = 0, n = 0;
        for (std::uint64_t block = 1; block <= 16; ++block) {
            for (std::size_t s = 0; s < kBlockSectors; ++s) {
                std::fill(data.begin(), data.begin() + 512, 0);
                const auto count = static_cast<double>(
                    ApplyBlockErrors(data.data(), 1, BlockRead{block, s, 5e-4, shape}, 0)
                        .errorBits);
                sum += count;
                squares += count * count;
                ++n;
            }
        }
        const double mean = sum / n, ratio = (squares / n - mean * mean) / mean;
        // Poisson: 1; gamma-Poisson: 1 + mean / shape (about 2 here).
        EXPECT_NEAR(ratio, shape > 0 ? 1 + mean / shape : 1.0, 0.15);
    }
}

/// The rate the lab draws at one point of the model, over many blocks.
double DrawnRate(double pe, double days, double reads) {
    return platform::lab::SampledRber(pe, days, reads, 400, 64, 7);
}

TEST(LabWear, DrawnRatesMatchThePublishedModelWithinTenPercent) {
    // The published model, computed by hand: P/E, days, reads and its rate.
    const struct {
        double pe, days, reads, rber;
    } points[] = {
        {0, 0, 0, 8.34e-5},         {1000, 0, 0, 8.785e-5},      {3000, 0, 0, 1.125e-4},
        {10000, 0, 0, 3.117e-4},    {3000, 30, 0, 1.335e-4},     {10000, 30, 0, 7.323e-4},
        {3000, 0, 10000, 1.751e-4}, {10000, 0, 10000, 8.324e-4},
    };
    for (const auto& point : points) {
        SCOPED_TRACE(testing::Message()
                     << "P/E " << point.pe << ", days " << point.days << ", reads " << point.reads);
        EXPECT_NEAR(FlashRber(FlashParams{}, point.pe, point.days, point.reads), point.rber,
                    0.002 * point.rber);
        EXPECT_NEAR(DrawnRate(point.pe, point.days, point.reads), point.rber, 0.1 * point.rber);
    }
    // 500 h at 40 C age a drive as much as about 1920 h at 30 C.
    EXPECT_NEAR(platform::lab::RetentionAcceleration(1.1, 40), 3.84, 0.02);
    EXPECT_DOUBLE_EQ(platform::lab::RetentionAcceleration(1.1, 30), 1.0);
}

}  // namespace
