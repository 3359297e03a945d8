// The run driver: the steps of one test run in order.
#pragma once

#include <cstdint>

#include "engine/ssd_test.h"

/// Checks the drive, opens it and its result log, then runs the read-only or
/// the normal test. Every failure leaves as an exception with its message.
void RunTest(std::uint32_t driveNumber, std::uint32_t aecTarget, bool readOnly, CSSDTest& test);
