// The run driver: the steps of one test run in order.
#pragma once

#include <cstdint>

#include "engine/ssd_test.h"

/// How a test run that did not fail ended.
enum class RunEnd { kFinished, kAbandoned };

/// Checks the drive, opens it and its result log, then runs the read-only or
/// the normal test, with trace notes at its start and end. Returns kAbandoned
/// when the operator's poll abandoned it. Every failure leaves as an
/// exception with its message (DriveRefusal for a refused drive).
RunEnd RunTest(std::uint32_t driveNumber, std::uint32_t aecTarget, bool readOnly, CSSDTest& test);
