// Drives the companion viewer after every round and files what it shows.
#pragma once

#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <string>

#include "engine/ssd_test.h"
#include "platform/viewer_host.h"

/// File name of the companion viewer in the program's folder.
extern const std::wstring kGaugeLensFileName;

/// Up to three capture attempts; prints "RunGaugeLens Failed." when all fail.
void RunGaugeLens(CSSDTest& test);
/// One attempt; true only when both CSV files were filed.
bool RunGaugeLensOnce(CSSDTest& test);
/// Sends the four key batches to the viewer's window.
void SendGaugeLensKeys(platform::ConsoleWindow* window, CSSDTest& test);
/// Clipboard text to the data file, then the two moves; true when both moved.
bool CaptureGaugeLensOutput(CSSDTest& test);
/// The same with a given capture time (for tests).
bool CaptureGaugeLensOutputAt(CSSDTest& test, const boost::posix_time::ptime& now);
