// Flash wear and raw bit errors of a lab drive: the raw bit error rate as a
// function of the erase count, and the error bits one read meets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/lab/lab_bench.h"

namespace platform::lab {

constexpr std::size_t kSectorBytes = 512;
constexpr std::uint64_t kSectorBits = kSectorBytes * 8;

/// Raw bit error rate at a (fractional) average erase count: log-linear from
/// rberStart at 0 to rberRated at ratedCycles, going on rising beyond it up to
/// rberMax.
double RawBitErrorRate(const WearParams& wear, double averageEraseCount);

/// What the flash error bits of one read did.
struct ReadErrors {
    std::uint64_t errorBits = 0;                ///< raw error bits met, corrected or not
    std::uint64_t correctableSectors = 0;       ///< sectors with 1..eccBits error bits
    std::uint64_t uncorrectableSectors = 0;     ///< sectors beyond eccBits, delivered corrupted
    std::int64_t lastUncorrectableSector = -1;  ///< index in the read, -1 when none
};

/// Draws raw bit errors cheaply. At low rates the gap to the next error bit is
/// sampled from the geometric distribution, so the cost follows the number of
/// errors, not of bits read; once a sector averages more than half an error bit,
/// each sector's error count is drawn instead (Poisson), and only the sectors
/// the ECC cannot correct get their bit positions drawn.
class BitErrorSampler {
public:
    explicit BitErrorSampler(std::uint64_t seed);

    /// Draws error bits over `sectorCount` sectors of `data` at rate `rber`;
    /// flips the bits of every sector holding more than eccBits of them.
    ReadErrors Apply(unsigned char* data, std::size_t sectorCount, double rber,
                     std::uint32_t eccBits);

    /// A uniform draw in (0, 1].
    double Uniform();

    /// A Poisson draw with mean `mean` (small means; used for rare events).
    std::uint32_t Poisson(double mean);

private:
    /// Mean error bits per sector above which counts are drawn per sector.
    static constexpr double kPerSectorDrawAbove = 0.5;

    std::uint64_t Next();
    void ApplyByGaps(unsigned char* data, std::size_t sectorCount, double rber,
                     std::uint32_t eccBits, ReadErrors* result);
    void ApplyPerSector(unsigned char* data, std::size_t sectorCount, double rber,
                        std::uint32_t eccBits, ReadErrors* result);
    /// Counts one sector's `count` error bits; flips them when beyond eccBits.
    static void FinishSector(unsigned char* sector, std::int64_t index, const std::uint32_t* bits,
                             std::size_t count, std::uint32_t eccBits, ReadErrors* result);

    std::uint64_t state_;
    std::vector<std::uint32_t> bits_;  ///< error bit positions of one sector
    std::vector<double> cumulative_;   ///< per-sector count distribution
};

}  // namespace platform::lab
