// The disk guard's probes of an open disk: its partition layouts, its
// attributes and the signatures in its first and last MiB. Each reads only;
// they also work on an image file opened for reading.
#pragma once

#include <windows.h>

#include <string>

#include "platform/disk_guard.h"

namespace platform {
namespace win32 {

/// Refused when the legacy or the extended layout shows a partition in use.
/// A disk whose layout cannot be read passes here (the signatures decide).
DiskGuardResult CheckLayouts(HANDLE disk, const std::wstring& path);

/// Refused when the disk is offline or read-only (its attributes, or the
/// writable request). Handles that know neither request (files) pass.
DiskGuardResult CheckWritable(HANDLE disk, const std::wstring& path);

/// Reads the first and last MiB and refuses a known signature with the same
/// line as on Linux; a disk that cannot be read is refused with the reason.
DiskGuardResult CheckSignatures(HANDLE disk, const std::wstring& path);

}  // namespace win32
}  // namespace platform
