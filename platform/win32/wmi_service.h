// The management instrumentation service "Winmgmt", which must run before
// the disk list can be read.
#pragma once

namespace platform {
namespace win32 {

/// Starts "Winmgmt" when it is stopped and waits up to about 5 s for it to
/// run. True when the service is running at the end of the call; false when
/// it cannot be opened, is in a pending or paused state, or did not come up.
bool StartWmiService();

/// The service check before an enumeration: up to three passes, each looking
/// whether the service runs and otherwise trying to start it. True when the
/// service was seen running or the last start attempt succeeded.
bool EnsureWmiServiceRunning();

}  // namespace win32
}  // namespace platform
