// The parts of a test context, one per role. CSSDTest joins them; a function
// that needs one part takes that part, so what it reads and changes is plain
// from its signature.
#pragma once

#include <boost/random/mersenne_twister.hpp>
#include <boost/random/uniform_int_distribution.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "disks/drive_identity.h"
#include "engine/error_map.h"
#include "engine/run_timings.h"
#include "platform/drive.h"
#include "platform/drive_number.h"
#include "status/drive_status.h"
#include "text/crlf_file_stream.h"

/// Why a batch of blocks ended.
enum StopCode : int { kGoOn = 0, kEndOfDrive = 1, kAbandoned = 2 };

/// Where a run stands, as its status file, metrics and JSON summary tell it.
enum class RunState { kRunning, kFinished, kAbandoned, kFailed, kRefused };

/// Moments of a run at which its machine-readable outputs are brought up to date.
enum class RunMoment { kStart, kBatch, kRoundEnd, kEnd };

class RoundEvents;

/// What a run publishes for machines and for a terminal besides the console
/// lines. Empty or false: not published.
struct RunOutputs {
    std::string toolVersion;     ///< shown in the status file and the metrics
    std::wstring metricsFolder;  ///< folder of the Prometheus textfile
    /// Draws the progress line in place; an empty text clears it.
    std::function<void(const std::string&)> drawProgress;
    bool sayNotes = false;  ///< print the outputs' own notes (never in the dialogue)
};

/// What one run has done, for its summary and trace notes.
struct RunTally {
    std::uint32_t rounds = 0;  ///< rounds that reached the end of the drive
    std::uint64_t blocksWritten = 0;
    std::uint64_t blocksRead = 0;
    std::uint64_t writeTicks = 0;  ///< device time of the writes, counter ticks
    std::uint64_t readTicks = 0;
    std::int32_t startAverageEraseCount = 0;
    std::uint64_t startBitErrors = 0;  ///< the log's counts when the run began
    std::uint64_t startFailedSectors = 0;
    bool started = false;                  ///< the drive was checked and opened and the log is open
    std::int64_t roundBytes = 0;           ///< how far the current round has got
    std::int64_t startedUnixTime = 0;      ///< when the run started, seconds since 1970 (UTC)
    std::uint64_t blocksAtRoundStart = 0;  ///< blocks written and read before this round

    /// Adds one batch of transfers.
    void AddBatch(std::uint32_t written, std::uint64_t writeDeviceTicks, std::uint32_t read,
                  std::uint64_t readDeviceTicks) {
        blocksWritten += written;
        writeTicks += writeDeviceTicks;
        blocksRead += read;
        readTicks += readDeviceTicks;
    }
};

/// Fixed when the run starts: which drive, how far, where the files go.
struct RunSettings {
    platform::DriveNumber driveNumber = 0;
    /// The drive behind driveNumber, resolved once by the drive check; the
    /// records carry it and a later run compares it.
    DriveIdentity identity;
    std::uint32_t aecTarget = 0;
    bool readOnly = false;  ///< the read-only test, else the write test up to aecTarget
    /// Folder of the result log, dump files and viewer captures, and folder
    /// the log is published to; empty: the program's folder and the usual
    /// shared folder (see engine/run_folders.h).
    std::wstring filesFolder;
    std::wstring sharedFolder;
    /// The shared copy of the result log; empty: the log's own name in the
    /// shared folder.
    std::wstring sharedLogName;
    /// The folder the companion viewer is started from; empty: the running
    /// program's folder.
    std::wstring programFolder;
    RunTimings timings;
    /// Transfers the test loops keep in flight (--queue-depth, 1 to 64); 0:
    /// the drive's own choice, else one at a time.
    std::uint32_t queueDepth = 0;
    bool viewerEnabled = true;
    RunOutputs outputs;
    double counterFrequency = 0;  ///< ticks per second of the interval timer
};

/// The drive under test, once opened.
struct DriveSession {
    /// Where drives are opened; the system's drives behind the disk guard
    /// unless a test hands another source.
    platform::DriveSource* driveSource = nullptr;
    std::unique_ptr<platform::Drive> drive;  ///< the open drive with its port, or nullptr
    std::int64_t driveSize = 0;
};

/// The drive's SMART status as the run follows it.
struct StatusTrack {
    DriveStatus currentStatus;  ///< of the drive's family; a SATA record until checked
    DriveStatus previousStatus;
    double calculatedRber = 0;
    bool smartFailureSaid = false;    ///< the first failed SMART refresh was reported
    bool lastRefreshAnswered = true;  ///< the last SMART refresh succeeded
};

/// The result log file while it is open.
struct ResultLogFile {
    CrlfFileStream resultLog;
    std::wstring resultLogPath;
    bool logTailCut = false;  ///< the log's last line lacks its line end
};

/// What verification has counted, over the log's whole life.
struct VerificationTotals {
    std::uint64_t uncorrectableBitErrors = 0;
    std::uint64_t sectorFailCount = 0;
    ErrorMap errorMap;  ///< the blocks with errors of the round in progress
    bool errorMapFailureSaid = false;
};

/// The seeded source of a round's pattern.
struct PatternSource {
    boost::random::mt19937 patternGenerator;
    boost::random::uniform_int_distribution<std::uint32_t> patternDistribution{0u, 0xFFFFFFFEu};

    /// Next pattern word: the twister's next output, 0xFFFFFFFF skipped.
    std::uint32_t NextPatternWord() { return patternDistribution(patternGenerator); }
};

/// How the run is steered while the loops go: the operator's requests, the
/// state it ends in, and who is told of its moments.
struct RunControl {
    /// Set when the test cannot go on (the log cannot be written, SMART is
    /// lost): the loops then stop as after an abandon key.
    bool abandonRequested = false;
    bool stopRequestSaid = false;  ///< the stop request's lines were printed
    /// The erase count at which the operator asked to finish with the round
    /// in progress; the write test then ends when the round ends.
    std::optional<std::uint32_t> finishRoundAt;
    RunState state = RunState::kRunning;
    std::string stateReason;  ///< why the run failed, was refused or abandoned
    RunTally tally;
    /// Polled by the test loops before every block; returns kGoOn or
    /// kAbandoned. The run driver installs the keyboard poll; tests may
    /// install a script. The default never interrupts.
    std::function<StopCode()> interruptPoll;
    /// Told of the run's moments (start, every batch, round ends, end) so that
    /// the status file, the metrics and the progress line follow the run.
    std::function<void(RunMoment)> runObserver;
    /// Told of every batch and round by the test loops: the run driver installs
    /// the recorder of SMART, the result log and the viewer (RoundRecorder).
    RoundEvents* roundEvents = nullptr;
};
