// The physics of the lab's flash: the raw bit error rate from wear, retention
// and read disturb, the temperature acceleration of retention loss, and the
// fixed traits of each physical block (error factor, erase count spread,
// the erase count at which it fails).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/lab/lab_bench.h"

namespace platform::lab {

/// Temperature at which the model's retention days count.
constexpr double kReferenceCelsius = 30.0;

/// floor + alpha*pe^1.71 + beta*pe^2.49*days^3.33 + gamma*pe^1.76*reads^0.47.
double FlashRber(const FlashParams& flash, double pe, double days, double reads);

/// The model's P/E count at a drive erase count: rated cycles map to modelCycles.
double ModelPe(const WearParams& wear, double eraseCount);

/// How much faster retention loss runs at `celsius` than at the reference
/// temperature (Arrhenius, activation energy `activationEv`).
double RetentionAcceleration(double activationEv, double celsius);

/// The rate the lab's own draws give at one point of the model: error bits per
/// bit read over `blocks` physical blocks (each with its own factor) of
/// `sectors` sectors, for checking the draws against FlashRber.
double SampledRber(double pe, double days, double reads, int blocks, std::size_t sectors,
                   std::uint64_t driveSeed);

/// The fixed traits of one physical block: the logical block `block` after
/// `replacements` retirements is a different piece of flash.
class PhysicalBlock {
public:
    PhysicalBlock(std::uint64_t driveSeed, std::uint64_t block, std::uint32_t replacements);

    /// The block's raw error rate relative to the drive's: lognormal with mean 1.
    double ErrorFactor(double sigma) const;

    /// The block's erase count when the drive's average is `average`: the wear
    /// leveller keeps blocks within a few percent plus a few erases of it.
    double EraseCount(double average) const;

    /// The erase count at which the block fails: a few blocks fail early in
    /// life, the others wear out (Weibull) well beyond the rated cycles.
    double FailureEraseCount(std::uint32_t ratedCycles) const;

    /// True when the block's failure is an erase failure, false for a program failure.
    bool FailsOnErase() const;

    /// Seed of the block's contents of one write generation: the errors they meet.
    std::uint64_t ContentSeed(std::uint32_t generation) const;

private:
    std::uint64_t seed_;
};

}  // namespace platform::lab
