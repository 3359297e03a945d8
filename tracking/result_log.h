// The per-drive CSV result log.
#pragma once

#include <string>

#include "engine/test_context.h"
#include "status/cssd_status.h"

/// <folder><sep>drive<N>_<model>.csv
std::wstring ResultLogName(const CSSDStatus& status, const std::wstring& folder);

/// Names and opens the log for appending, restores the verification counters
/// from its last complete line, and on a new log writes the header, a first
/// line and a first viewer capture. Throws "could not open LogFile", the
/// restore failures and "Log Write Failed: <reason>" (the new log is removed).
void OpenResultLog(CSSDTest& test);

/// Restores uncorrectableBitErrors and sectorFailCount from the last complete
/// line of the log at resultLogPath, whose status columns are `status`'s; a last line without its
/// line end (cut short) is skipped and noted in logTailCut.
void RestoreErrorCounters(ResultLogFile& log, const CSSDStatus& status, VerificationTotals& totals);

/// Appends one data line (status row and the ten result columns) and flushes,
/// closing a cut last line first. When that fails, the log is cut back, "Log
/// Write Failed: <reason>" is printed and abandonRequested is set.
void AppendResult(CSSDTest& test, double readSpeed, double writeSpeed, double lastRoundRber);

/// Estimated uncorrectable bit error rate for t-bit correction at raw rate p.
double UncorrectableBitErrorRate(int t, double p);

/// The ten result column names joined by commas.
const std::string& ResultHeader();
/// The result columns for `status`: ResultHeader() where the drive reports its
/// flash error bits, else the same ten columns with the rates named as
/// host-visible ones.
std::string ResultHeader(const CSSDStatus& status);

/// Opens (or reopens) the log stream for appending at resultLogPath, shared,
/// writing lines with CR LF ends.
void OpenLogStream(ResultLogFile& log, const CSSDStatus& status);
