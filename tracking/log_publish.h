// Publishes the result log to the shared folder after every round.
#pragma once

#include "engine/test_context.h"

/// Closes the log, copies it to the shared folder (as sharedLogName when set;
/// "Copy Failed: <path>" and the system's reason on the next line when that
/// fails) and reopens it; the stream is failed when reopening failed.
void PublishResultLog(CSSDTest& test);
