// Publishes the result log to the shared folder after every round.
#pragma once

#include "engine/context_roles.h"

/// Closes the log, copies it to the shared folder under the name of `status`'s drive (as
/// sharedLogName when set; "Copy Failed: <path>" and the system's reason on the next line when that
/// fails) and reopens it; the stream is failed when reopening failed.
void PublishResultLog(const RunSettings& settings, ResultLogFile& log, const CSSDStatus& status);
