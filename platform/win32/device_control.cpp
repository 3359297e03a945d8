// Device control service: synchronous DeviceIoControl on \\.\PhysicalDriveN.
#include "platform/device_control.h"

#include <windows.h>

#include <string>

#include "platform/win32/raw_device.h"

namespace platform {

struct ControlHandle {
    HANDLE handle;
};

ControlHandle* OpenControlHandle(platform::DriveNumber driveNumber) {
    const std::wstring path = win32::PhysicalDrivePath(driveNumber);
    // Flags 0: synchronous requests, no overlapped record needed.
    const HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return new ControlHandle{handle};
}

void CloseControlHandle(ControlHandle* handle) {
    if (handle == nullptr) return;
    CloseHandle(handle->handle);
    delete handle;
}

bool DeviceControl(ControlHandle* handle, std::uint32_t controlCode, const void* input,
                   std::uint32_t inputSize, void* output, std::uint32_t outputSize,
                   std::uint32_t* bytesReturned) {
    DWORD returned = 0;
    // The input block is only read; the API's parameter is not const.
    const BOOL ok = DeviceIoControl(handle->handle, controlCode, const_cast<void*>(input),
                                    inputSize, output, outputSize, &returned, nullptr);
    *bytesReturned = ok ? returned : 0;
    return ok != FALSE;
}

}  // namespace platform
