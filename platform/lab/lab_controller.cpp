#include "platform/lab/lab_controller.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace platform::lab {
namespace {

using nlohmann::json;

constexpr std::int64_t kFlashBlockBytes = 256 * 1024;

/// New program failures per flash block and erase count step at the rated error rate.
constexpr double kProgramFailuresPerBlockAtRated = 1e-3;

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
        loaded.wearStepsDrawn = root.value("wear_steps_drawn", loaded.wearStepsDrawn);
        loaded.lastEccFailLba = root.value("last_ecc_fail_lba", loaded.lastEccFailLba);
        loaded.powerOnSeconds = root.value("power_on_seconds", loaded.powerOnSeconds);
        loaded.powerCycles = root.value("power_cycles", loaded.powerCycles);
        if (!(loaded.driveWrites >= 0.0)) throw std::runtime_error("drive_writes is negative");
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
        {"wear_steps_drawn", state.wearStepsDrawn},
        {"last_ecc_fail_lba", state.lastEccFailLba},
        {"power_on_seconds", state.powerOnSeconds},
        {"power_cycles", state.powerCycles},
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
    : config_(config), sizeBytes_(std::max<std::int64_t>(sizeBytes, 1)), sampler_(seed) {}

void Controller::OnWrite(std::uint32_t length) {
    state_.hostBytesWritten += length;
    bytesWrittenInProcess_ += length;
    ++state_.writeCommands;
    state_.driveWrites += static_cast<double>(length) * config_.wear.writeAmplification /
                          static_cast<double>(sizeBytes_);
    DrawBlockFailures();
}

bool Controller::SmartAnswers() const {
    const std::int64_t failsAfterMib = config_.faults.smartFailsAfterMib;
    return failsAfterMib < 0 ||
           bytesWrittenInProcess_ < static_cast<std::uint64_t>(failsAfterMib) * 1048576u;
}

ReadErrors Controller::OnRead(std::int64_t offsetBytes, unsigned char* data, std::uint32_t length) {
    state_.hostBytesRead += length;
    ++state_.readCommands;
    const ReadErrors errors =
        sampler_.Apply(data, length / kSectorBytes, CurrentRber(), config_.wear.eccBits);
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

std::uint32_t Controller::AverageEraseCount() const {
    return config_.wear.initialAec + static_cast<std::uint32_t>(std::floor(state_.driveWrites));
}

std::uint32_t Controller::MinimumEraseCount() const {
    const std::uint32_t average = AverageEraseCount();
    if (average == 0) return 0;
    return average - std::min(average, 1 + average / 16);
}

std::uint32_t Controller::MaximumEraseCount() const {
    const std::uint32_t average = AverageEraseCount();
    if (average == 0) return 0;
    return average + 1 + average / 8;
}

double Controller::CurrentRber() const {
    return RawBitErrorRate(config_.wear, config_.wear.initialAec + state_.driveWrites);
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

void Controller::DrawBlockFailures() {
    // Each erase count step wears every block once: draw its new bad blocks,
    // more of them as the raw error rate climbs.
    const std::uint32_t reached = AverageEraseCount() - config_.wear.initialAec;
    while (state_.wearStepsDrawn < reached) {
        ++state_.wearStepsDrawn;
        const double rber =
            RawBitErrorRate(config_.wear, config_.wear.initialAec + state_.wearStepsDrawn);
        const double relative = config_.wear.rberRated > 0.0 ? rber / config_.wear.rberRated : 0.0;
        const double mean = FlashBlocks() * kProgramFailuresPerBlockAtRated * relative;
        state_.programFailureBlocks += sampler_.Poisson(mean);
        state_.eraseFailureBlocks += sampler_.Poisson(mean / 2);
    }
}

}  // namespace platform::lab
