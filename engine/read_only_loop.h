// The read-only test: one pass verifying the whole drive against dump file 1.
#pragma once

#include "engine/test_context.h"

/// Reads and verifies every block once; throws on failure.
void ReadOnlyTest(CSSDTest& test);
