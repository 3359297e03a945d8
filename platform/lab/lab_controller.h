// The emulated flash controller of one lab drive: counters that move with use,
// erase counts from the bytes written, and raw bit errors on reads.
#pragma once

#include <cstdint>
#include <string>

#include "platform/lab/lab_bench.h"
#include "platform/lab/lab_wear.h"

namespace platform::lab {

/// Everything the controller remembers between runs.
struct ControllerState {
    std::uint64_t hostBytesRead = 0;
    std::uint64_t hostBytesWritten = 0;
    std::uint64_t readCommands = 0;
    std::uint64_t writeCommands = 0;
    double driveWrites = 0.0;  ///< flash programmed, in whole-drive units (host bytes x WA / size)
    std::uint64_t errorBitsFromFlash = 0;
    std::uint64_t correctableSectors = 0;
    std::uint64_t uncorrectableSectors = 0;
    std::uint64_t readFailureBlocks = 0;
    std::uint64_t programFailureBlocks = 0;
    std::uint64_t eraseFailureBlocks = 0;
    std::uint32_t wearStepsDrawn = 0;  ///< erase count steps whose block failures were drawn
    std::int64_t lastEccFailLba = -1;  ///< sector of the last uncorrectable read, -1 when none
    std::uint64_t powerOnSeconds = 0;
    std::uint64_t powerCycles = 0;
};

/// Reads a state side file. Returns 1 when read, 0 when the file is missing,
/// -1 with a one-line reason in *error when it cannot be read or parsed.
int LoadControllerState(const std::string& path, ControllerState* state, std::string* error);

/// Writes a state side file (through a temporary file and a rename). False on failure.
bool SaveControllerState(const std::string& path, const ControllerState& state);

class Controller {
public:
    Controller(const BenchDrive& config, std::int64_t sizeBytes, std::uint64_t seed);

    ControllerState& State() { return state_; }
    const ControllerState& State() const { return state_; }
    const BenchDrive& Config() const { return config_; }

    /// Accounts one completed host write.
    void OnWrite(std::uint32_t length);

    /// False once the drive's "smart_fails_after_mib" fault has set in: that
    /// many MiB were written through this controller (in this process).
    bool SmartAnswers() const;

    /// Accounts one completed host read of `data` taken from `offsetBytes`:
    /// draws the raw error bits and corrupts the sectors the ECC cannot correct.
    ReadErrors OnRead(std::int64_t offsetBytes, unsigned char* data, std::uint32_t length);

    std::uint32_t AverageEraseCount() const;
    std::uint32_t MinimumEraseCount() const;
    std::uint32_t MaximumEraseCount() const;
    /// Raw bit error rate at the current wear.
    double CurrentRber() const;

    /// Erase blocks of the emulated flash (256 KiB each).
    std::uint32_t FlashBlocks() const;
    /// Factory bad blocks, fixed per serial number.
    std::uint32_t InitialBadBlocks() const;
    /// Spare blocks; the bad block table is full once they are used up.
    std::uint32_t SpareBlocks() const;
    bool BadBlockTableFull() const;

private:
    void DrawBlockFailures();

    BenchDrive config_;
    std::int64_t sizeBytes_;
    ControllerState state_;
    BitErrorSampler sampler_;
    std::uint64_t bytesWrittenInProcess_ = 0;
};

}  // namespace platform::lab
