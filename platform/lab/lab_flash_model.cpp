#include "platform/lab/lab_flash_model.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/lab/lab_wear.h"

namespace platform::lab {
namespace {

constexpr double kBoltzmannEvPerKelvin = 8.617333262e-5;
constexpr double kKelvinAtZeroCelsius = 273.15;

/// Wear levelling: a block's erase count strays from the average by this part
/// of it plus the square root of it (one standard deviation).
constexpr double kEraseSpreadRelative = 0.05;

/// Blocks that fail early, and over which part of the rated cycles they do.
constexpr double kEarlyFailureFraction = 0.005;
constexpr double kEarlyFailureLife = 0.1;
/// Wear-out: Weibull in erase counts, scale in rated cycles, and its shape.
constexpr double kWearOutScale = 2.5;
constexpr double kWearOutShape = 6.0;
/// Share of failures that come on erase rather than on program.
constexpr double kEraseFailureShare = 1.0 / 3.0;

enum Trait : std::uint64_t {
    kErrorTrait = 1,
    kEraseTrait,
    kFailureTrait,
    kFailureKindTrait,
    kFirstGenerationTrait  // then one per write generation
};

}  // namespace

double FlashRber(const FlashParams& flash, double pe, double days, double reads) {
    pe = std::max(0.0, pe);
    days = std::max(0.0, days);
    reads = std::max(0.0, reads);
    return flash.floor + flash.alpha * std::pow(pe, 1.71) +
           flash.beta * std::pow(pe, 2.49) * std::pow(days, 3.33) +
           flash.gamma * std::pow(pe, 1.76) * std::pow(reads, 0.47);
}

double ModelPe(const WearParams& wear, double eraseCount) {
    return std::max(0.0, eraseCount) * wear.flash.modelCycles /
           std::max<std::uint32_t>(1, wear.ratedCycles);
}

double RetentionAcceleration(double activationEv, double celsius) {
    const double kelvin = celsius + kKelvinAtZeroCelsius;
    const double reference = kReferenceCelsius + kKelvinAtZeroCelsius;
    return std::exp(activationEv / kBoltzmannEvPerKelvin * (1.0 / reference - 1.0 / kelvin));
}

PhysicalBlock::PhysicalBlock(std::uint64_t driveSeed, std::uint64_t block,
                             std::uint32_t replacements)
    : seed_(MixSeed(MixSeed(driveSeed, block), replacements)) {}

double PhysicalBlock::ErrorFactor(double sigma) const {
    const double z = RandomStream(MixSeed(seed_, kErrorTrait)).Normal();
    return std::exp(sigma * z - 0.5 * sigma * sigma);
}

double PhysicalBlock::EraseCount(double average) const {
    if (average <= 0.0) return 0.0;
    const double z = RandomStream(MixSeed(seed_, kEraseTrait)).Normal();
    return std::max(0.0, average + z * (kEraseSpreadRelative * average + std::sqrt(average)));
}

double PhysicalBlock::FailureEraseCount(std::uint32_t ratedCycles) const {
    RandomStream stream(MixSeed(seed_, kFailureTrait));
    const double u = stream.Uniform();
    if (u <= kEarlyFailureFraction)
        return u / kEarlyFailureFraction * kEarlyFailureLife * ratedCycles;
    return kWearOutScale * ratedCycles * std::pow(-std::log(stream.Uniform()), 1.0 / kWearOutShape);
}

std::uint64_t PhysicalBlock::ContentSeed(std::uint32_t generation) const {
    return MixSeed(seed_, kFirstGenerationTrait + generation);
}

bool PhysicalBlock::FailsOnErase() const {
    return RandomStream(MixSeed(seed_, kFailureKindTrait)).Uniform() <= kEraseFailureShare;
}

double SampledRber(double pe, double days, double reads, int blocks, std::size_t sectors,
                   std::uint64_t driveSeed) {
    const FlashParams flash;
    std::vector<unsigned char> data(sectors * kSectorBytes);
    double bits = 0;
    for (int b = 0; b < blocks; ++b) {
        const PhysicalBlock block(driveSeed, static_cast<std::uint64_t>(b), 0);
        const double rate = FlashRber(flash, pe, days, reads) * block.ErrorFactor(flash.blockSigma);
        bits += static_cast<double>(
            ApplyBlockErrors(data.data(), sectors,
                             BlockRead{block.ContentSeed(1), 0, rate, flash.sectorShape},
                             kSectorBits)  // an ECC that corrects all: count, flip nothing
                .errorBits);
    }
    return bits / (blocks * static_cast<double>(sectors) * kSectorBits);
}

}  // namespace platform::lab
