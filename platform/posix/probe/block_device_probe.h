// The disk guard's probe of a Linux block device, shared by the real drive
// backend and the lab's device-backed drives.
#pragma once

#include <string>

#include "platform/disk_guard.h"

namespace platform::posix {

/// Probes the block device at `path` (read only): libblkid signatures and
/// partition tables (a GPT found by its backup header too), partitions and
/// holders in sysfs, mounts, active swap, other processes holding it open,
/// and the read-only flag. The first finding decides the result. The probe
/// runs bounded (ProbeTimeoutMs): a device that does not answer in time, or
/// a stop request while waiting, gives a refusal marked noAnswer.
DiskGuardResult ProbeBlockDevice(const std::string& path);

}  // namespace platform::posix
