// Drives the companion viewer after every round and files what it shows.
#pragma once

#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/context_roles.h"
#include "platform/drive_number.h"
#include "platform/viewer_host.h"

/// File name of the companion viewer in the program's folder.
extern const std::wstring kGaugeLensFileName;

/// The waits and delays of the attempts are those of settings.timings.

/// Up to three capture attempts; prints "RunGaugeLens Failed." when all fail.
void RunGaugeLens(const RunSettings& settings, const StatusTrack& status);
/// One attempt; true only when both CSV files were filed.
bool RunGaugeLensOnce(const RunSettings& settings, const StatusTrack& status);
/// Sends the four key batches to the viewer's window. False, after the batch
/// that could not be sent, when the window was not in front or not every key
/// went out: the keys may have reached another window.
bool SendGaugeLensKeys(platform::ConsoleWindow* window, const RunSettings& settings);
/// Clipboard text to the data file, then the two moves; true when both moved.
bool CaptureGaugeLensOutput(const RunSettings& settings, const StatusTrack& status);
/// The same with a given capture time (for tests).
bool CaptureGaugeLensOutputAt(const RunSettings& settings, const StatusTrack& status,
                              const boost::posix_time::ptime& now);

/// The four key batches for a drive number: every decimal digit of the number,
/// Enter, "2", Enter, "3", Enter; Alt+Space; E, S; Enter, "4", Enter, "0", Enter.
std::vector<std::vector<platform::KeyEvent>> GaugeLensKeyBatches(platform::DriveNumber driveNumber);

/// The capture time stamp YYYYMMDDTHHMMSS of a local time.
std::wstring GaugeLensTimeStamp(const boost::posix_time::ptime& time);

/// Path of the viewer: the run's program folder and the viewer's file name.
std::wstring GaugeLensPath(const RunSettings& settings);
