// Trace notes of a test's milestones and the one-line summary of a run.
#pragma once

#include <string>

#include "platform/process.h"
#include "tracking/run_figures.h"

// Each note says where the run stands from its figures (BuildRunFigures).

/// Notes the start of a test: drive, serial, test, round, erase count.
void NoteTestStart(const RunFigures& figures);

/// Notes the end of a round (`complete`: it reached the end of the drive;
/// otherwise the round after the last complete one was cut short).
void NoteRoundEnd(const RunFigures& figures, bool complete);

/// Notes the end of a test with its outcome ("finished", "abandoned",
/// "refused: <why>", "failed: <why>").
void NoteTestEnd(const RunFigures& figures, const std::string& outcome, platform::TraceLevel level);

/// "Summary: drive 1, rounds 3, erase count 0 -> 3, written 0.0008053 TB,
/// bit errors 0, failed sectors 0, read 812.3 MB/s, write 640.1 MB/s": what
/// this run did; bit errors and failed sectors are the tool's own counts, and
/// the speeds are mean device speeds.
std::string RunSummaryLine(const RunFigures& figures);
