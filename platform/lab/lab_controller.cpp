#include "platform/lab/lab_controller.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/lab/lab_flash_model.h"

namespace platform::lab {
namespace {

using nlohmann::json;

constexpr std::int64_t kFlashBlockBytes = 256 * 1024;
/// The error model keeps at most this many blocks; larger drives get larger blocks.
constexpr std::int64_t kMaxModelBlocks = 65536;

std::uint64_t Fnv1a(const std::string& text) {
    std::uint64_t hash = 1469598103934665603ULL;
    for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return hash;
}

}  // namespace

int LoadControllerState(const std::string& path, ControllerState* state, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return 0;
    std::ostringstream content;
    content << in.rdbuf();
    try {
        const json root = json::parse(content.str());
        ControllerState loaded;
        loaded.hostBytesRead = root.value("host_bytes_read", loaded.hostBytesRead);
        loaded.hostBytesWritten = root.value("host_bytes_written", loaded.hostBytesWritten);
        loaded.readCommands = root.value("read_commands", loaded.readCommands);
        loaded.writeCommands = root.value("write_commands", loaded.writeCommands);
        loaded.driveWrites = root.value("drive_writes", loaded.driveWrites);
        loaded.errorBitsFromFlash = root.value("error_bits_from_flash", loaded.errorBitsFromFlash);
        loaded.correctableSectors = root.value("correctable_sectors", loaded.correctableSectors);
        loaded.uncorrectableSectors =
            root.value("uncorrectable_sectors", loaded.uncorrectableSectors);
        loaded.readFailureBlocks = root.value("read_failure_blocks", loaded.readFailureBlocks);
        loaded.programFailureBlocks =
            root.value("program_failure_blocks", loaded.programFailureBlocks);
        loaded.eraseFailureBlocks = root.value("erase_failure_blocks", loaded.eraseFailureBlocks);
        loaded.lastEccFailLba = root.value("last_ecc_fail_lba", loaded.lastEccFailLba);
        loaded.powerOnSeconds = root.value("power_on_seconds", loaded.powerOnSeconds);
        loaded.powerCycles = root.value("power_cycles", loaded.powerCycles);
        loaded.clockSeconds = root.value("clock_seconds", loaded.clockSeconds);
        loaded.seed = root.value("seed", loaded.seed);
        if (!(loaded.driveWrites >= 0.0)) throw std::runtime_error("drive_writes is negative");
        if (!(loaded.clockSeconds >= 0.0 && loaded.clockSeconds < 1e15))
            throw std::runtime_error("clock_seconds is out of range");
        if (!DecodeBlocks(root.value("blocks", std::string()),
                          static_cast<std::size_t>(kMaxModelBlocks), &loaded.blocks))
            throw std::runtime_error("blocks is not a block table");
        *state = loaded;
        return 1;
    } catch (const std::exception& failure) {
        if (error != nullptr) *error = path + ": " + failure.what();
        return -1;
    }
}

bool SaveControllerState(const std::string& path, const ControllerState& state) {
    const json root = {
        {"host_bytes_read", state.hostBytesRead},
        {"host_bytes_written", state.hostBytesWritten},
        {"read_commands", state.readCommands},
        {"write_commands", state.writeCommands},
        {"drive_writes", state.driveWrites},
        {"error_bits_from_flash", state.errorBitsFromFlash},
        {"correctable_sectors", state.correctableSectors},
        {"uncorrectable_sectors", state.uncorrectableSectors},
        {"read_failure_blocks", state.readFailureBlocks},
        {"program_failure_blocks", state.programFailureBlocks},
        {"erase_failure_blocks", state.eraseFailureBlocks},
        {"last_ecc_fail_lba", state.lastEccFailLba},
        {"power_on_seconds", state.powerOnSeconds},
        {"power_cycles", state.powerCycles},
        {"clock_seconds", state.clockSeconds},
        {"seed", state.seed},
        {"blocks", EncodeBlocks(state.blocks)},
    };
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << root.dump(2) << "\n";
        if (!out.flush()) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

Controller::Controller(const BenchDrive& config, std::int64_t sizeBytes, std::uint64_t seed)
    : config_(config),
      sizeBytes_(std::max<std::int64_t>(sizeBytes, 1)),
      blockBytes_(kFlashBlockBytes),
      seed_(seed) {
    while (sizeBytes_ / blockBytes_ >= kMaxModelBlocks) blockBytes_ *= 2;
}

std::size_t Controller::BlockCount() const {
    return static_cast<std::size_t>((sizeBytes_ + blockBytes_ - 1) / blockBytes_);
}

std::vector<BlockRecord>& Controller::Blocks() {
    if (state_.blocks.size() != BlockCount()) {
        // No table of this size (a state from before block tables, or a drive
        // that changed size): take every block as written now.
        BlockRecord fresh;
        fresh.writtenMinute = static_cast<std::uint32_t>(state_.clockSeconds / 60.0);
        state_.blocks.assign(BlockCount(), fresh);
    }
    return state_.blocks;
}

void Controller::OnWrite(std::int64_t offsetBytes, std::uint32_t length) {
    state_.hostBytesWritten += length;
    bytesWrittenInProcess_ += length;
    ++state_.writeCommands;
    state_.driveWrites += static_cast<double>(length) * config_.wear.writeAmplification /
                          static_cast<double>(sizeBytes_);
    if (length == 0 || offsetBytes < 0) return;
    std::vector<BlockRecord>& blocks = Blocks();
    const auto minute = static_cast<std::uint32_t>(state_.clockSeconds / 60.0);
    const auto first = static_cast<std::size_t>(offsetBytes / blockBytes_);
    const auto last = static_cast<std::size_t>((offsetBytes + length - 1) / blockBytes_);
    for (std::size_t block = first; block <= last && block < blocks.size(); ++block) {
        BlockRecord& record = blocks[block];
        ++record.generation;
        record.writtenMinute = minute;
        record.reads = 0;
        CheckFailure(block, &record);
    }
}

void Controller::CheckFailure(std::size_t block, BlockRecord* record) {
    const PhysicalBlock flash(seed_, block, record->replacements);
    if (flash.EraseCount(EraseCount()) < flash.FailureEraseCount(config_.wear.ratedCycles)) return;
    // The data moves to a spare block; each model block stands for this many flash blocks.
    const auto failed = static_cast<std::uint64_t>(blockBytes_ / kFlashBlockBytes);
    if (flash.FailsOnErase())
        state_.eraseFailureBlocks += failed;
    else
        state_.programFailureBlocks += failed;
    ++record->replacements;
}

bool Controller::SmartAnswers() const {
    const std::int64_t failsAfterMib = config_.faults.smartFailsAfterMib;
    return failsAfterMib < 0 ||
           bytesWrittenInProcess_ < static_cast<std::uint64_t>(failsAfterMib) * 1048576u;
}

double Controller::BlockRber(std::size_t block) {
    const WearParams& wear = config_.wear;
    const BlockRecord& record = Blocks().at(block);
    const double days =
        std::max(0.0, state_.clockSeconds / 60.0 - record.writtenMinute) / (24.0 * 60.0);
    // Read disturb builds up over thousands of reads: it takes effect in whole
    // steps, so reading a block again now and then leaves its errors as they are.
    const auto wholeSteps = record.reads / wear.flash.readStep;  // integer division on purpose
    const double reads = static_cast<double>(wholeSteps * wear.flash.readStep);
    FlashParams flash = wear.flash;
    double rate = 0.0;
    if (wear.logLinear) {  // the log-linear curve stands in for floor and wear
        rate = RawBitErrorRate(wear, EraseCount());
        flash.floor = 0.0;
        flash.alpha = 0.0;
    }
    rate += FlashRber(flash, ModelPe(wear, EraseCount()), days, reads);
    rate *= PhysicalBlock(seed_, block, record.replacements).ErrorFactor(flash.blockSigma);
    return std::min(rate, wear.rberMax);
}

ReadErrors Controller::OnRead(std::int64_t offsetBytes, unsigned char* data, std::uint32_t length) {
    state_.hostBytesRead += length;
    ++state_.readCommands;
    ReadErrors errors;
    std::vector<BlockRecord>& blocks = Blocks();
    const std::int64_t end = offsetBytes + length;
    for (std::int64_t at = offsetBytes; at < end;) {
        const auto block = static_cast<std::size_t>(at / blockBytes_);
        if (block >= blocks.size()) break;
        const std::int64_t blockStart = static_cast<std::int64_t>(block) * blockBytes_;
        const std::int64_t chunkEnd = std::min(end, blockStart + blockBytes_);
        BlockRecord& record = blocks[block];
        BlockRead read;
        read.seed = PhysicalBlock(seed_, block, record.replacements).ContentSeed(record.generation);
        read.firstSector = static_cast<std::uint64_t>(at - blockStart) / kSectorBytes;
        read.rber = BlockRber(block);
        read.sectorShape = config_.wear.flash.sectorShape;
        const auto skipped = static_cast<std::size_t>(at - offsetBytes);
        const ReadErrors chunk =
            ApplyBlockErrors(data + skipped, static_cast<std::size_t>(chunkEnd - at) / kSectorBytes,
                             read, config_.wear.eccBits);
        errors.errorBits += chunk.errorBits;
        errors.correctableSectors += chunk.correctableSectors;
        errors.uncorrectableSectors += chunk.uncorrectableSectors;
        if (chunk.lastUncorrectableSector >= 0)
            errors.lastUncorrectableSector =
                static_cast<std::int64_t>(skipped / kSectorBytes) + chunk.lastUncorrectableSector;
        if (record.reads < UINT32_MAX) ++record.reads;
        at = chunkEnd;
    }
    state_.errorBitsFromFlash += errors.errorBits;
    state_.correctableSectors += errors.correctableSectors;
    state_.uncorrectableSectors += errors.uncorrectableSectors;
    if (errors.uncorrectableSectors > 0) {
        ++state_.readFailureBlocks;
        state_.lastEccFailLba =
            offsetBytes / static_cast<std::int64_t>(kSectorBytes) + errors.lastUncorrectableSector;
    }
    return errors;
}

void Controller::AdvanceClock(double seconds) {
    if (seconds > 0.0)
        state_.clockSeconds += seconds * RetentionAcceleration(config_.wear.flash.activationEv,
                                                               config_.wear.flash.celsius);
}

double Controller::EraseCount() const { return config_.wear.initialAec + state_.driveWrites; }

std::uint32_t Controller::AverageEraseCount() const {
    return config_.wear.initialAec + static_cast<std::uint32_t>(std::floor(state_.driveWrites));
}

std::uint32_t Controller::MinimumEraseCount() const {
    const std::uint32_t average = AverageEraseCount();
    if (average == 0) return 0;
    double least = average;
    for (std::size_t block = 0; block < BlockCount(); ++block) {
        const std::uint32_t replacements =
            block < state_.blocks.size() ? state_.blocks[block].replacements : 0;
        least = std::min(least, PhysicalBlock(seed_, block, replacements).EraseCount(EraseCount()));
    }
    return static_cast<std::uint32_t>(std::floor(least));
}

std::uint32_t Controller::MaximumEraseCount() const {
    const std::uint32_t average = AverageEraseCount();
    if (average == 0) return 0;
    // The most worn block is at least one erase ahead of the average.
    double most = average + 1;
    for (std::size_t block = 0; block < BlockCount(); ++block) {
        const std::uint32_t replacements =
            block < state_.blocks.size() ? state_.blocks[block].replacements : 0;
        most = std::max(most, PhysicalBlock(seed_, block, replacements).EraseCount(EraseCount()));
    }
    return static_cast<std::uint32_t>(std::floor(most));
}

std::uint32_t Controller::FlashBlocks() const {
    return static_cast<std::uint32_t>(std::max<std::int64_t>(16, sizeBytes_ / kFlashBlockBytes));
}

std::uint32_t Controller::InitialBadBlocks() const {
    return 1 + static_cast<std::uint32_t>(Fnv1a(config_.serial) % (1 + FlashBlocks() / 100));
}

std::uint32_t Controller::SpareBlocks() const {
    return std::max<std::uint32_t>(8, FlashBlocks() * 3 / 100);
}

bool Controller::BadBlockTableFull() const {
    return InitialBadBlocks() + state_.programFailureBlocks + state_.eraseFailureBlocks >=
           SpareBlocks();
}

}  // namespace platform::lab
