// The emulated flash controller of one lab drive: counters that move with use,
// erase counts from the bytes written, the drive's own clock, and per block
// the raw bit errors its reads meet and the failures its writes meet.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/lab/lab_bench.h"
#include "platform/lab/lab_block_table.h"
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
    std::int64_t lastEccFailLba = -1;  ///< sector of the last uncorrectable read, -1 when none
    std::uint64_t powerOnSeconds = 0;
    std::uint64_t powerCycles = 0;
    /// The drive's clock: seconds of retention at the reference temperature,
    /// from its powered time at its own temperature and from ageing.
    double clockSeconds = 0.0;
    std::uint64_t seed = 0;           ///< seed of the error draws; 0 until one is drawn
    std::vector<BlockRecord> blocks;  ///< per block since its last write; empty: none yet
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

    /// Accounts one completed host write: the blocks it touches start a new
    /// generation (their errors drawn afresh), and a block whose flash has
    /// reached its failure erase count is retired.
    void OnWrite(std::int64_t offsetBytes, std::uint32_t length);

    /// False once the drive's "smart_fails_after_mib" fault has set in: that
    /// many MiB were written through this controller (in this process).
    bool SmartAnswers() const;

    /// Accounts one completed host read of `data` taken from `offsetBytes`:
    /// applies each block's raw error bits at its rate now and corrupts the
    /// sectors the ECC cannot correct.
    ReadErrors OnRead(std::int64_t offsetBytes, unsigned char* data, std::uint32_t length);

    /// Runs the drive's clock for `seconds` of powered time at its temperature.
    void AdvanceClock(double seconds);

    /// Raw bit error rate of block `block` if it were read now.
    double BlockRber(std::size_t block);
    /// Bytes of one block of the error model (256 KiB, more on very large drives).
    std::int64_t BlockBytes() const { return blockBytes_; }
    std::size_t BlockCount() const;

    std::uint32_t AverageEraseCount() const;
    std::uint32_t MinimumEraseCount() const;
    std::uint32_t MaximumEraseCount() const;
    /// The average erase count, fractional.
    double EraseCount() const;

    /// Erase blocks of the emulated flash (256 KiB each).
    std::uint32_t FlashBlocks() const;
    /// Factory bad blocks, fixed per serial number.
    std::uint32_t InitialBadBlocks() const;
    /// Spare blocks; the bad block table is full once they are used up.
    std::uint32_t SpareBlocks() const;
    bool BadBlockTableFull() const;

private:
    /// The block table, made (blocks written now) when the state holds none
    /// of this drive's size.
    std::vector<BlockRecord>& Blocks();
    /// Retires the flash behind `block` when it has reached its failure erase count.
    void CheckFailure(std::size_t block, BlockRecord* record);

    BenchDrive config_;
    std::int64_t sizeBytes_;
    std::int64_t blockBytes_;
    ControllerState state_;
    std::uint64_t seed_;
    std::uint64_t bytesWrittenInProcess_ = 0;
};

}  // namespace platform::lab
