// The per-drive CSV result log.
#pragma once

#include <string>

#include "engine/ssd_test.h"
#include "status/cssd_status.h"

/// <folder><sep>drive<N>_<model>.csv
std::wstring ResultLogName(const CSSDStatus& status, const std::wstring& folder);

/// Names and opens the log for appending, restores the verification counters
/// from its last line, and on a new log writes the header, a first line and a
/// first viewer capture. Throws "could not open LogFile" and the restore
/// failures.
void OpenResultLog(CSSDTest& test);

/// Restores uncorrectableBitErrors and sectorFailCount from the log's last line.
void RestoreErrorCounters(CSSDTest& test);

/// Appends one data line (status row and the ten result columns) and flushes.
void AppendResult(CSSDTest& test, double readSpeed, double writeSpeed, double lastRoundRber);

/// Estimated uncorrectable bit error rate for t-bit correction at raw rate p.
double UncorrectableBitErrorRate(int t, double p);

/// The ten result column names joined by commas.
const std::string& ResultHeader();

/// Opens (or reopens) the log stream for appending at resultLogPath, shared,
/// writing lines with CR LF ends.
void OpenLogStream(CSSDTest& test);
