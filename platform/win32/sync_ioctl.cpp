// The drive handle of a test is overlapped, so its control requests carry an
// OVERLAPPED and are waited for through an event. The event handle's low bit
// is set so that no completion packet reaches the drive's completion port,
// where the test loops would mistake it for a transfer.
#include "platform/win32/sync_ioctl.h"

namespace platform {
namespace win32 {

bool SyncDeviceIoControl(HANDLE device, DWORD controlCode, void* input, DWORD inputSize,
                         void* output, DWORD outputSize, DWORD* bytesReturned) {
    *bytesReturned = 0;
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) return false;
    OVERLAPPED overlapped{};
    overlapped.hEvent = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(event) | 1);
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(device, controlCode, input, inputSize, output, outputSize, &returned,
                              &overlapped);
    if (!ok && GetLastError() == ERROR_IO_PENDING)
        ok = GetOverlappedResult(device, &overlapped, &returned, TRUE);
    CloseHandle(event);
    if (!ok) return false;
    *bytesReturned = returned;
    return true;
}

}  // namespace win32
}  // namespace platform
