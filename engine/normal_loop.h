// The write-and-verify endurance test, round after round up to the AEC target.
#pragma once

#include "engine/test_context.h"

/// Runs rounds until the drive's average erase count reaches aecTarget at the
/// end of a round, or the operator abandons. Throws on failure (after writing
/// the dump files if any block was written).
void NormalTest(CSSDTest& test);
