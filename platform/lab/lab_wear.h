// Flash wear and raw bit errors of a lab drive: the log-linear error rate
// curve, seeded random streams, and the error bits one read of a block meets.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/lab/lab_bench.h"

namespace platform::lab {

constexpr std::size_t kSectorBytes = 512;
constexpr std::uint64_t kSectorBits = kSectorBytes * 8;

/// Raw bit error rate at a (fractional) average erase count: log-linear from
/// rberStart at 0 to rberRated at ratedCycles, going on rising beyond it up to
/// rberMax.
double RawBitErrorRate(const WearParams& wear, double averageEraseCount);

/// A seed derived from `seed` and `value`: distinct inputs give unrelated seeds.
std::uint64_t MixSeed(std::uint64_t seed, std::uint64_t value);

/// A seeded stream of random numbers (splitmix64): the same seed gives the
/// same numbers.
class RandomStream {
public:
    explicit RandomStream(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next();
    /// A uniform draw in (0, 1].
    double Uniform();
    /// A standard normal draw.
    double Normal();
    /// A gamma draw with mean 1 and shape `shape` (> 0): variance 1/shape.
    double UnitGamma(double shape);

private:
    std::uint64_t state_;
};

/// What the flash error bits of one read did.
struct ReadErrors {
    std::uint64_t errorBits = 0;                ///< raw error bits met, corrected or not
    std::uint64_t correctableSectors = 0;       ///< sectors with 1..eccBits error bits
    std::uint64_t uncorrectableSectors = 0;     ///< sectors beyond eccBits, delivered corrupted
    std::int64_t lastUncorrectableSector = -1;  ///< index in the read, -1 when none
};

/// Where a read meets one written block and how error-prone the block is.
struct BlockRead {
    std::uint64_t seed = 0;         ///< seed of this block's current contents
    std::uint64_t firstSector = 0;  ///< the read's first sector, counted within the block
    double rber = 0.0;              ///< raw bit error rate of the block now
    double sectorShape = 0.0;       ///< gamma shape of the per-sector rate; 0: none
};

/// Applies the error bits of `sectorCount` sectors of one block to `data`
/// (starting at sector block.firstSector) and flips the bits of every sector
/// holding more than eccBits of them. The draw is nested: every bit of a
/// sector has a fixed threshold from the block's seed and is in error while
/// the rate is above it, so a higher rate flips a superset of the bits of a
/// lower one and the same rate flips the same bits. Each sector's rate is the
/// block's times a fixed gamma factor (overdispersed counts). Only the
/// thresholds below the rate are drawn (the gaps between the sorted
/// thresholds), and positions only for sectors the ECC cannot correct.
ReadErrors ApplyBlockErrors(unsigned char* data, std::size_t sectorCount, const BlockRead& block,
                            std::uint32_t eccBits);

}  // namespace platform::lab
