// A hidden top-level window that hears the system end the session: a
// console program that uses windows gets no console event for a shutdown or
// log-off, only the window messages.
#pragma once

#include <cstdint>

#include "platform/drive_number.h"

namespace platform {
namespace win32 {

/// Class name of the hidden window (one per process while a test runs).
constexpr const wchar_t* kShutdownWindowClass = L"ssdtest shutdown watch";

/// Starts the window's thread for a test of drive `driveNumber`. When the
/// session is about to end, the window asks the system for time with the
/// reason "ssdtest: finishing the current batch on drive N" and notes a stop
/// request; when it ends, the window holds the process until the test's
/// records are written (StopShutdownWatch), up to a bound.
void StartShutdownWatch(platform::DriveNumber driveNumber);

/// The test's records are written: drops the reason, lets a waiting end of
/// session go on and closes the window. Safe without a start.
void StopShutdownWatch();

/// Notes the end of the session as a stop request (console service).
/// False when no test catches stop requests.
bool NoteSessionEnding();

}  // namespace win32
}  // namespace platform
