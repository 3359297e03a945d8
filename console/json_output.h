// The command line's JSON documents: the drive list and a test's summary.
#pragma once

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "console/drive_list.h"
#include "engine/test_context.h"
#include "platform/drive_number.h"
#include "tracking/run_figures.h"

/// {"format": "ssdtest-drives", "format_version": 1, "drives": [...]}: per
/// drive its number, path, size_bytes, identified, model, serial, firmware,
/// kind ("kvt", "rzb", "unknown" or null when SMART does not answer), verdict
/// ("would test" or "not tested") and reason ("" when it would be tested).
/// `kindOf` gives a drive's kind by number.
nlohmann::ordered_json DriveListJson(
    const std::vector<ListedDrive>& drives,
    const std::function<nlohmann::ordered_json(std::uint32_t)>& kindOf);

/// The SMART kind of drive `driveNumber` as DriveListJson shows it.
nlohmann::ordered_json DriveKind(platform::DriveNumber driveNumber);

/// The status file's object of the run's figures with format "ssdtest-summary"
/// and the run's `exit_code`. A run that never began is "refused" (exit code 4) or
/// "failed".
nlohmann::ordered_json SummaryJson(RunFigures figures, int exitCode);

/// One JSON document as text: indented, a line feed at the end, bytes that
/// are not UTF-8 replaced.
std::string JsonText(const nlohmann::ordered_json& document);
