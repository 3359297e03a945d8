// The lab bench: the simulated drives listed in ssdlab.json, with their
// identity, backing store, controller parameters and injected faults.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/drive_number.h"

namespace platform::lab {

/// Name of the bench file in the bench folder.
constexpr const char* kBenchFileName = "ssdlab.json";

/// Controller family a lab drive emulates: the attribute set and byte layout
/// of its SMART page.
enum class DriveKind { Kvt, Rzb, Plain, Nvme };

/// Faults a bench entry can inject.
struct DriveFaults {
    std::vector<std::int64_t> ioErrorAtMib;    ///< a transfer touching one of these MiB fails
    std::vector<std::int64_t> stallAtMib;      ///< a transfer touching one of these never completes
    std::vector<std::int64_t> bitErrorsAtMib;  ///< a read of one of these MiB has bits flipped
    std::uint32_t bitErrorsPerMib = 16;        ///< bits flipped per MiB read there
    bool completeAtOnce = false;               ///< every transfer finishes inside StartTransfer
    bool smartNeedsEnable = false;  ///< SMART READ DATA fails until SMART ENABLE OPERATIONS
    bool smartFails = false;        ///< SMART READ DATA short, SMART ENABLE OPERATIONS rejected
    bool identifyFails = false;     ///< IDENTIFY DEVICE rejected
    bool missing = false;           ///< listed, but neither data nor control handle opens
    bool openFails = false;         ///< the data handle is refused (EACCES); SMART still answers
    bool geometryFails = false;     ///< the size request fails
    bool layoutFails = false;       ///< the partition table request fails
    /// SMART READ DATA fails once this many MiB were written in the process; -1: never.
    std::int64_t smartFailsAfterMib = -1;
};

/// The flash error model of one drive: raw bit error rate
/// floor + alpha*PE^1.71 + beta*PE^2.49*days^3.33 + gamma*PE^1.76*reads^0.47,
/// with PE the model's P/E count (the drive's erase count scaled so that its
/// rated cycles are modelCycles), days the time since the block was written
/// at the reference temperature, and reads the reads of the block since.
struct FlashParams {
    double floor = 8.34e-5;         ///< rate of fresh flash
    double alpha = 3.30e-11;        ///< wear
    double beta = 5.56e-19;         ///< retention loss
    double gamma = 6.26e-13;        ///< read disturb
    double modelCycles = 3000;      ///< model P/E count at the drive's rated cycles
    double celsius = 30;            ///< temperature of the powered drive
    double activationEv = 1.1;      ///< Arrhenius activation energy of retention loss
    double blockSigma = 0.3;        ///< spread of the lognormal per-block rate factor
    double sectorShape = 4;         ///< gamma shape of the per-sector rate; 0: plain Poisson
    std::uint32_t readStep = 1000;  ///< reads of a block take effect in whole steps of this
};

/// Flash wear and error model of one drive.
struct WearParams {
    std::uint32_t initialAec = 0;     ///< average erase count of a fresh drive
    double writeAmplification = 1.0;  ///< flash bytes programmed per host byte
    std::uint32_t ratedCycles = 30;   ///< erase count at which rberRated is reached
    double rberStart = 1e-8;          ///< raw bit error rate at erase count 0
    double rberRated = 1e-4;          ///< raw bit error rate at ratedCycles
    double rberMax = 2e-3;            ///< the rate stops rising here
    /// The bench gives rber_start or rber_rated: the log-linear curve stands in
    /// for the flash model's floor and wear term.
    bool logLinear = false;
    std::uint32_t eccBits = 8;  ///< error bits per 512-byte sector the ECC corrects
    std::uint64_t seed = 0;     ///< error draw seed; 0: one drawn per drive and kept
    FlashParams flash;
};

/// One drive of the bench, with every path resolved.
struct BenchDrive {
    platform::DriveNumber number = 0;
    DriveKind kind = DriveKind::Plain;
    std::int64_t sizeBytes = 0;  ///< configured size; 0 for a device means the whole device
    std::string model;
    std::string serial;
    std::string firmware;
    std::string imagePath;               ///< data file (empty when devicePath is set)
    std::string devicePath;              ///< block device used instead of an image
    std::string statePath;               ///< controller state side file
    std::uint32_t partitions = 0;        ///< used partition entries (type 0x07)
    std::uint32_t partitionEntries = 0;  ///< entries in the layout, used ones included
    std::int32_t scsiPort = 0;
    std::int32_t scsiTargetId = 0;
    std::uint32_t queueDepth = 0;  ///< transfers the tester keeps in flight; 0: its own choice
    DriveFaults faults;
    WearParams wear;
    /// An nvme drive offers the datacenter SMART log (its erase counts); the
    /// percentage used of every nvme drive is its erase count per rated_cycles.
    bool datacenterLog = true;
};

struct Bench {
    std::string folder;  ///< folder of the bench file; relative paths start here
    std::vector<BenchDrive> drives;
};

/// Folder of the bench file: $SSDLAB_DIR when set and not empty, else the
/// program's data folder (its own folder unless installed).
std::string BenchFolder();

/// The text of the default bench, written when the bench file is missing.
std::string DefaultBenchText();

/// Parses bench text, resolving relative paths against `folder`. False with a
/// one-line reason in *error when the text is not a valid bench.
bool ParseBench(const std::string& text, const std::string& folder, Bench* bench,
                std::string* error);

/// Reads the bench file of BenchFolder(), writing the default one first when it
/// is missing. False with a one-line reason ("<path>: <what>") in *error.
bool LoadBench(Bench* bench, std::string* error);

/// The drive with `number`, or nullptr.
const BenchDrive* FindDrive(const Bench& bench, platform::DriveNumber number);

/// Records a bench or state error of this process and writes it as a trace note.
void NoteLabError(const std::string& text);

/// The last bench or state error of this process on one line, empty when none.
std::string LastLabError();

}  // namespace platform::lab
