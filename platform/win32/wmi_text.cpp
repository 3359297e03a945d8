#include "platform/win32/wmi_text.h"

#include <cstdint>
#include <limits>
#include <utility>

namespace platform {
namespace win32 {

int ParseDeviceIdIndex(const std::wstring& deviceId) {
    std::size_t start = deviceId.size();
    while (start > 0 && deviceId[start - 1] >= L'0' && deviceId[start - 1] <= L'9') --start;
    std::int64_t index = 0;
    for (std::size_t i = start; i < deviceId.size(); ++i) {
        index = index * 10 + (deviceId[i] - L'0');
        // No drive has a number beyond the 32-bit range; such a text names none.
        if (index > std::numeric_limits<std::int32_t>::max()) return 0;
    }
    return static_cast<int>(index);
}

std::wstring SwapSerialPairs(const std::wstring& serial) {
    std::wstring swapped = serial;
    for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
    return swapped;
}

}  // namespace win32
}  // namespace platform
