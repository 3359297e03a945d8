// Pieces the normal and the read-only test loops share.
#pragma once

#include <cstdint>

#include "engine/block_io.h"
#include "engine/round_events.h"
#include "engine/test_context.h"
#include "engine/transfer_buffers.h"

/// The poll before each block: kAbandoned once abandonRequested is set, else
/// the installed poll's answer (kGoOn unless a key or a stop request says stop).
StopCode PollInterrupt(RunControl& control);

/// The run's round events (see RunControl::roundEvents); throws
/// std::logic_error when none were installed.
RoundEvents& RoundEventsOf(const RunControl& control);

/// Tells the run's observer, if any, that the run reached `moment`.
void NotifyRun(const RunControl& control, RunMoment moment);

/// True when the block just finished ends the round: the next block would
/// reach or pass the end of the drive.
bool EndOfDriveReached(std::int64_t offset, std::int64_t driveSize);

/// True when the batch ends after its block number `blocks`, which ended at
/// `offset`: at the end of the drive (*stop then becomes kEndOfDrive) or
/// because the batch is full.
bool BatchEnds(std::int64_t offset, std::int64_t driveSize, std::uint32_t blocks, StopCode* stop);
