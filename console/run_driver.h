// The run driver: the steps of one test run in order.
#pragma once

#include <cstdint>

#include "engine/test_context.h"
#include "platform/drive_number.h"

/// How a test run that did not fail ended.
/// kFailed: the test stopped itself as an abandon key would, because a log line
/// could not be written or SMART stopped answering.
enum class RunEnd { kFinished, kAbandoned, kFailed };

/// Checks the drive, opens it and its result log, then runs the read-only or
/// the normal test, with trace notes at its start and end. Keys end the round
/// or abandon the test only with `readKeys`; stop requests always abandon it.
/// Returns kFailed when the test stopped itself after a failure, kAbandoned
/// when the operator's poll abandoned it. Every failure leaves as an exception
/// with its message (DriveRefusal for a refused drive).
RunEnd RunTest(platform::DriveNumber driveNumber, std::uint32_t aecTarget, bool readOnly,
               CSSDTest& test, bool readKeys = true);
