// Unattended-run service: what keeps a long test going without the operator.
#pragma once

#include <cstdint>

#include "platform/drive_number.h"

namespace platform {

/// Called when a test of drive `driveNumber` starts: keeps the machine from
/// sleeping while the test runs, keeps a stray click from freezing the
/// console's output, and turns the system's shutdown or restart into a stop
/// request (see CatchStopRequests) while asking the system for the time to
/// finish the current batch. Never fails; what cannot be set is left as it was.
void BeginUnattendedTest(platform::DriveNumber driveNumber);

/// Called when the test ends, on every path, once its records are written:
/// restores what BeginUnattendedTest changed and lets a waiting shutdown
/// go on. Safe without a matching begin.
void EndUnattendedTest();

}  // namespace platform
