#include "platform/lab/lab_wear.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace platform::lab {

double RawBitErrorRate(const WearParams& wear, double averageEraseCount) {
    if (wear.rberStart <= 0.0 || wear.rberRated <= 0.0) return 0.0;
    const double progress = std::max(0.0, averageEraseCount) / wear.ratedCycles;
    const double rate = wear.rberStart * std::pow(wear.rberRated / wear.rberStart, progress);
    return std::min(rate, wear.rberMax);
}

BitErrorSampler::BitErrorSampler(std::uint64_t seed) : state_(seed) {}

std::uint64_t BitErrorSampler::Next() {
    // splitmix64: fast, and good enough for error positions.
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double BitErrorSampler::Uniform() {
    return static_cast<double>((Next() >> 11) + 1) * (1.0 / 9007199254740992.0);
}

std::uint32_t BitErrorSampler::Poisson(double mean) {
    if (mean <= 0.0) return 0;
    if (mean > 30.0) {
        // Normal approximation; rare events never get here in practice.
        const double u1 = Uniform(), u2 = Uniform();
        const double normal = std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
        return static_cast<std::uint32_t>(
            std::max(0.0, std::round(mean + std::sqrt(mean) * normal)));
    }
    const double limit = std::exp(-mean);
    std::uint32_t count = 0;
    for (double product = Uniform(); product > limit; product *= Uniform()) ++count;
    return count;
}

void BitErrorSampler::FinishSector(unsigned char* sector, std::int64_t index,
                                   const std::uint32_t* bits, std::size_t count,
                                   std::uint32_t eccBits, ReadErrors* result) {
    if (count == 0) return;
    result->errorBits += count;
    if (count <= eccBits) {
        ++result->correctableSectors;
        return;
    }
    ++result->uncorrectableSectors;
    result->lastUncorrectableSector = index;
    for (std::size_t i = 0; i < count; ++i)
        sector[bits[i] / 8] ^= static_cast<unsigned char>(1u << (bits[i] % 8));
}

ReadErrors BitErrorSampler::Apply(unsigned char* data, std::size_t sectorCount, double rber,
                                  std::uint32_t eccBits) {
    ReadErrors result;
    if (rber <= 0.0 || sectorCount == 0) return result;
    if (rber * kSectorBits > kPerSectorDrawAbove)
        ApplyPerSector(data, sectorCount, rber, eccBits, &result);
    else
        ApplyByGaps(data, sectorCount, rber, eccBits, &result);
    return result;
}

void BitErrorSampler::ApplyByGaps(unsigned char* data, std::size_t sectorCount, double rber,
                                  std::uint32_t eccBits, ReadErrors* result) {
    const double totalBits = static_cast<double>(sectorCount) * kSectorBits;
    const double perLogKeep = 1.0 / std::log1p(-rber);
    std::vector<std::uint32_t>& bits = bits_;
    bits.clear();
    std::int64_t currentSector = -1;
    // Positions strictly increase, so no bit is hit twice.
    double position = -1.0;
    for (;;) {
        position += 1.0 + std::floor(std::log(Uniform()) * perLogKeep);
        if (position >= totalBits) break;
        const auto bitIndex = static_cast<std::uint64_t>(position);
        const auto sector = static_cast<std::int64_t>(bitIndex / kSectorBits);
        if (sector != currentSector) {
            if (currentSector >= 0)
                FinishSector(data + static_cast<std::size_t>(currentSector) * kSectorBytes,
                             currentSector, bits.data(), bits.size(), eccBits, result);
            bits.clear();
            currentSector = sector;
        }
        bits.push_back(static_cast<std::uint32_t>(bitIndex % kSectorBits));
    }
    if (currentSector >= 0)
        FinishSector(data + static_cast<std::size_t>(currentSector) * kSectorBytes, currentSector,
                     bits.data(), bits.size(), eccBits, result);
}

void BitErrorSampler::ApplyPerSector(unsigned char* data, std::size_t sectorCount, double rber,
                                     std::uint32_t eccBits, ReadErrors* result) {
    // Cumulative Poisson probabilities of the error count of one sector.
    const double mean = rber * kSectorBits;
    std::vector<double>& cumulative = cumulative_;
    cumulative.clear();
    double term = std::exp(-mean), sum = term;
    cumulative.push_back(sum);
    for (std::uint32_t k = 1; k < kSectorBits && 1.0 - sum > 1e-15; ++k) {
        term *= mean / k;
        sum += term;
        cumulative.push_back(sum);
    }
    std::vector<std::uint32_t>& bits = bits_;
    for (std::size_t sector = 0; sector < sectorCount; ++sector) {
        const double draw = Uniform();
        std::size_t count = 0;
        while (count < cumulative.size() && draw > cumulative[count]) ++count;
        if (count == 0) continue;
        bits.clear();
        if (count > eccBits) {  // only a sector delivered corrupted needs its positions
            while (bits.size() < count) {
                const auto bit = static_cast<std::uint32_t>(Next() >> 52);  // 0..4095
                if (std::find(bits.begin(), bits.end(), bit) == bits.end()) bits.push_back(bit);
            }
        } else {
            bits.assign(count, 0);
        }
        FinishSector(data + sector * kSectorBytes, static_cast<std::int64_t>(sector), bits.data(),
                     count, eccBits, result);
    }
}

}  // namespace platform::lab
