#include "platform/lab/lab_wear.h"

#include <algorithm>
#include <cmath>

namespace platform::lab {
namespace {

/// A sector's rate never exceeds this: half its bits in error is noise.
constexpr double kMaxSectorRate = 0.5;

/// Salts of a sector's three streams: its rate factor, thresholds and positions.
constexpr std::uint64_t kFactorSalt = 0x6A09E667F3BCC909ULL;
constexpr std::uint64_t kPositionSalt = 0xBB67AE8584CAA73BULL;

std::uint64_t SplitMix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

/// Counts one sector's `count` error bits; draws their positions and flips
/// them when the ECC cannot correct them.
void FinishSector(unsigned char* sector, std::int64_t index, std::uint64_t sectorSeed,
                  std::uint64_t count, std::uint32_t eccBits, ReadErrors* result) {
    if (count == 0) return;
    result->errorBits += count;
    if (count <= eccBits) {
        ++result->correctableSectors;
        return;
    }
    ++result->uncorrectableSectors;
    result->lastUncorrectableSector = index;
    // The first `count` distinct positions of the sector's position stream:
    // one more error bit keeps the earlier ones where they were.
    RandomStream positions(sectorSeed ^ kPositionSalt);
    std::uint32_t bits[kSectorBits];
    std::size_t found = 0;
    while (found < count) {
        const auto bit = static_cast<std::uint32_t>(positions.Next() >> 52);  // 0..4095
        if (std::find(bits, bits + found, bit) != bits + found) continue;
        bits[found++] = bit;
        sector[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
    }
}

}  // namespace

double RawBitErrorRate(const WearParams& wear, double averageEraseCount) {
    if (wear.rberStart <= 0.0 || wear.rberRated <= 0.0) return 0.0;
    const double progress = std::max(0.0, averageEraseCount) / wear.ratedCycles;
    const double rate = wear.rberStart * std::pow(wear.rberRated / wear.rberStart, progress);
    return std::min(rate, wear.rberMax);
}

std::uint64_t MixSeed(std::uint64_t seed, std::uint64_t value) {
    return SplitMix(seed + 0x9E3779B97F4A7C15ULL * (value + 1));
}

std::uint64_t RandomStream::Next() { return SplitMix(state_ += 0x9E3779B97F4A7C15ULL); }

double RandomStream::Uniform() {
    return static_cast<double>((Next() >> 11) + 1) * (1.0 / 9007199254740992.0);
}

double RandomStream::Normal() {
    const double u1 = Uniform(), u2 = Uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
}

double RandomStream::UnitGamma(double shape) {
    // Marsaglia and Tsang; a shape below 1 is raised by one and scaled back.
    const double boost = shape < 1.0 ? std::pow(Uniform(), 1.0 / shape) : 1.0;
    const double d = (shape < 1.0 ? shape + 1.0 : shape) - 1.0 / 3.0;
    const double c = 1.0 / std::sqrt(9.0 * d);
    for (;;) {
        const double x = Normal();
        const double v = 1.0 + c * x;
        if (v <= 0.0) continue;
        const double cube = v * v * v;
        if (std::log(Uniform()) < 0.5 * x * x + d - d * cube + d * std::log(cube))
            return boost * d * cube / shape;
    }
}

ReadErrors ApplyBlockErrors(unsigned char* data, std::size_t sectorCount, const BlockRead& block,
                            std::uint32_t eccBits) {
    ReadErrors result;
    if (!(block.rber > 0.0)) return result;
    for (std::size_t i = 0; i < sectorCount; ++i) {
        const std::uint64_t sectorSeed = MixSeed(block.seed, block.firstSector + i);
        double rate = block.rber;
        if (block.sectorShape > 0.0)
            rate *= RandomStream(sectorSeed ^ kFactorSalt).UnitGamma(block.sectorShape);
        // Walk up the sorted thresholds of the sector's bits: log(1 - u(j+1)) =
        // log(1 - u(j)) + log(V) / (n - j) for uniform V, so each step costs
        // one draw and the walk stops at the first threshold above the rate.
        const double logKeep = std::log1p(-std::min(rate, kMaxSectorRate));
        RandomStream thresholds(sectorSeed);
        double logAbove = 0.0;
        std::uint64_t count = 0;
        while (count < kSectorBits) {
            logAbove += std::log(thresholds.Uniform()) / static_cast<double>(kSectorBits - count);
            if (logAbove <= logKeep) break;
            ++count;
        }
        FinishSector(data + i * kSectorBytes, static_cast<std::int64_t>(i), sectorSeed, count,
                     eccBits, &result);
    }
    return result;
}

}  // namespace platform::lab
