// Whether the tool would test a drive, decided in one place for the drive
// list; the test itself refuses the same drives when it checks and opens them.
#pragma once

#include <cstdint>
#include <string>

/// Empty when the tool would test drive `driveNumber`; otherwise the reason
/// in a few words ("SMART not answering", "kind not supported").
/// *answered (when given) is cleared when the drive did not answer its probe.
std::string UntestedReason(std::uint32_t driveNumber, bool* answered = nullptr);
