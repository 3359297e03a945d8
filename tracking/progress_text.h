// The one-line progress of a run shown in place on a terminal.
#pragma once

#include <cstdint>
#include <string>

#include "tracking/run_figures.h"

/// "Round 3: 42.5%, write 410 read 521 MB/s, erase count 12/3000, ETA 11h 18m",
/// short enough for an 80-column terminal (the read-only test: round, percent,
/// read speed, erase count). The ETA is "?" until the erase count has moved.
std::string ProgressText(const RunFigures& figures);

/// A remaining time in its two largest units: "3d 04h", "11h 18m", "42m", "<1m".
std::string DurationText(std::int64_t seconds);
