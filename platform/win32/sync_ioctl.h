// A synchronous control request that is safe on a handle opened for
// overlapped I/O, including one already attached to a completion port.
#pragma once

#include <windows.h>

namespace platform {
namespace win32 {

/// Sends one control request and waits for it. Returns the request's success
/// and stores the output byte count in *bytesReturned (0 on failure).
bool SyncDeviceIoControl(HANDLE device, DWORD controlCode, void* input, DWORD inputSize,
                         void* output, DWORD outputSize, DWORD* bytesReturned);

}  // namespace win32
}  // namespace platform
