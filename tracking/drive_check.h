// Ties the test context to the drive's SMART status.
#pragma once

#include "engine/ssd_test.h"

/// Finds the context's drive in the registry, requires the supported kind and
/// loads its status into both snapshots. Throws "Drive Not Found" or
/// "Drive Not KVT".
void CheckDrive(CSSDTest& test);

/// Moves currentStatus into previousStatus, refreshes currentStatus, updates
/// calculatedRber and returns whether a tracked counter changed.
bool UpdateDriveStatus(CSSDTest& test);
