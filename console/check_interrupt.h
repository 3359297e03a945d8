// The keyboard poll of the test loops.
#pragma once

#include "engine/test_context.h"

/// After a stop request (see platform::CatchStopRequests) prints "Interrupted"
/// and "Stop Requested: <name>" once and returns kAbandoned. Else, without
/// `readKeys` or without a waiting key returns kGoOn. Otherwise prints
/// "Interrupted" and reads the key: "e" prints "Finish on this round", asks
/// the write test to end with the current round (at the current average
/// erase count, see CSSDTest::StopAec) and returns kGoOn; any other
/// key returns kAbandoned.
StopCode CheckInterrupt(RunControl& control, const CSSDStatus& status, bool readKeys = true);
