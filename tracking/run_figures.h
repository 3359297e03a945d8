// The figures of a run in one snapshot: the status file, the metrics, the
// JSON summary and the progress line each format this one value.
#pragma once

#include <cstdint>
#include <string>

#include "engine/test_context.h"

/// Who the drive under test is. Taken in one place (DriveIdentityOf) so that
/// every output names the drive the same way.
struct RunDriveIdentity {
    platform::DriveNumber number = 0;
    std::string path;
    std::string model;
    std::string serial;
    std::string firmware;
    std::uint64_t sizeBytes = 0;
    std::string family;  ///< the drive's SMART kind, "kvt"
};

struct RunFigures {
    RunDriveIdentity drive;
    std::string host;
    std::string toolVersion;
    bool readOnly = false;
    std::uint32_t targetAec = 0;  ///< meaningless for the read-only test
    RunState state = RunState::kRunning;
    std::string reason;
    std::uint32_t round = 0;            ///< the current (or last) round, from 1; 0 before any
    std::uint32_t roundsCompleted = 0;  ///< rounds of this run that reached the drive's end
    double roundPercent = 0;            ///< of the current round
    std::int32_t averageEraseCount = 0;
    std::int32_t startAverageEraseCount = 0;
    std::uint64_t bytesWritten = 0;  ///< by this run
    std::uint64_t bytesRead = 0;
    std::uint64_t driveBytesWritten = 0;  ///< the drive's own lifetime counts (SMART)
    std::uint64_t driveBytesRead = 0;
    std::uint64_t bitErrors = 0;  ///< the tool's counts over the drive's log
    std::uint64_t failedSectors = 0;
    std::uint64_t runBitErrors = 0;  ///< of them, found by this run
    std::uint64_t runFailedSectors = 0;
    double rber = 0;         ///< raw bit error rate as in the log's last line (may be NaN)
    double uber = 0;         ///< uncorrectable bit error rate for 8-bit ECC at that rate
    double writeMbPerS = 0;  ///< mean device speeds of this run, 10^6 bytes per second
    double readMbPerS = 0;
    std::int64_t startedUnixTime = 0;  ///< seconds since 1970, UTC
    std::int64_t updatedUnixTime = 0;
    std::int64_t estimatedEndUnixTime = 0;  ///< 0 when not known
    std::string logFile;                    ///< the result log's file name, without its folder
};

/// The run's figures now (`nowUnixTime`), with the host's name and the
/// state, reason and tool version the context holds.
RunFigures BuildRunFigures(const CSSDTest& test, std::int64_t nowUnixTime);

/// "running", "finished", "abandoned", "failed" or "refused".
const char* RunStateName(RunState state);

/// "2026-12-09T15:42:10Z": a Unix time as ISO 8601 UTC.
std::string IsoUtc(std::int64_t unixTime);

/// The time the erase count would reach `target` at the run's pace so far:
/// 0 while the count has not moved, or when it is already there.
std::int64_t EstimatedEnd(std::int32_t startCount, std::int32_t nowCount, std::uint32_t target,
                          std::int64_t startedUnixTime, std::int64_t nowUnixTime);

/// Mean device speed in MB/s (10^6 bytes) of `blocks` 1 MiB blocks over
/// `ticks` counter ticks; 0 when ticks is 0.
double MeanSpeed(std::uint64_t blocks, std::uint64_t ticks, double counterFrequency);
