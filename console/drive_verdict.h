// Whether the tool would test a drive, decided in one place for the drive
// list; the test itself refuses the same drives when it checks and opens them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/drive_number.h"

/// Empty when the tool would test drive `driveNumber`; otherwise the reason
/// in a few words ("SMART not answering", "kind not supported").
/// *answered (when given) is cleared when the drive did not answer its probe.
std::string UntestedReason(platform::DriveNumber driveNumber, bool* answered = nullptr);

/// The reason line of a refusal that gave none ("Drive Not Found", "Drive Not
/// KVT"), in the drive list's words: "Drive #2 not tested: kind not
/// supported", or "No drive #9 in the drive list" for a number no disk has.
/// Empty when the list would test the drive.
std::string RefusalReason(platform::DriveNumber driveNumber);
