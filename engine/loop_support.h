// Pieces the normal and the read-only test loops share.
#pragma once

#include <cstdint>

#include "engine/block_io.h"
#include "engine/test_context.h"
#include "engine/transfer_buffers.h"

/// The poll before each block: kAbandoned once abandonRequested is set, else
/// the installed poll's answer (kGoOn unless a key or a stop request says stop).
StopCode PollInterrupt(RunControl& control);

/// Tells the run's observer, if any, that the run reached `moment`.
void NotifyRun(const RunControl& control, RunMoment moment);

/// True when the block just finished ends the round: the next block would
/// reach or pass the end of the drive.
bool EndOfDriveReached(std::int64_t offset, std::int64_t driveSize);

/// True when the batch ends after its block number `blocks`, which ended at
/// `offset`: at the end of the drive (*stop then becomes kEndOfDrive) or
/// because the batch is full.
bool BatchEnds(std::int64_t offset, std::int64_t driveSize, std::uint32_t blocks, StopCode* stop);

/// The round's raw bit error rate from the drive's counters: 0 unless the round
/// ran to the end of the drive and sectors were read, else printed as
/// "RBER: <rate>".
double RoundRber(StopCode stop, const CSSDStatus& status, const VerificationTotals& totals,
                 std::uint64_t sectorsAtStart, std::uint64_t errorBitsAtStart);

/// Publishes the result log, throws "Log Reopen Failed!" when the log could
/// not be reopened, then captures the viewer.
void PublishAndCapture(CSSDTest& test);

/// Closes a round that ended with `stop`: its rate (RoundRber), its result
/// line, the log's publication and the viewer capture, the run's round count
/// and trace note, then tells the observer. Throws as PublishAndCapture does.
void CloseRound(CSSDTest& test, StopCode stop, double readSpeed, double writeSpeed,
                std::uint64_t sectorsAtStart, std::uint64_t errorBitsAtStart);
