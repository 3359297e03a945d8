// Device ids of the disk list (the drive number at the end of a Windows
// device id, serial texts) and the disk selection text of the Linux backend.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/posix/drive/sysfs_disks.h"
#include "platform/win32/wmi_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::wstring wide(text.begin(), text.end());
    if (platform::win32::ParseDeviceIdIndex(wide) < 0) __builtin_trap();
    if (platform::win32::SwapSerialPairs(wide).size() != wide.size()) __builtin_trap();
    for (const std::string& name : platform::posix::ParseDiskSelection(text))
        if (name.find('/') != std::string::npos || name == "." || name == "..") __builtin_trap();
    return 0;
}
