// The run status file beside the result log: one JSON object a monitor or the
// fleet report polls, replaced whole so that a reader never sees half of it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "tracking/run_figures.h"

/// The status object of the figures (format "ssdtest-status", version 1).
nlohmann::ordered_json StatusJson(const RunFigures& figures);

/// The status file of a result log: its path with ".csv" replaced by
/// ".status.json" (appended when the log's name has no ".csv").
std::wstring StatusFileName(const std::wstring& logPath);

/// The status file's text: the object, indented, and a line feed. Model and
/// serial bytes that are not UTF-8 are replaced, never a reason to lose it.
std::string StatusText(const RunFigures& figures);

/// The drive serial a status file names; empty when there is no such file or
/// it is not a status object.
std::string StatusFileSerial(const std::wstring& path);
