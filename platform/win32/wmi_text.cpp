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

std::wstring IdentifySerial(const std::uint8_t* identifyPage) {
    constexpr std::size_t kSerialOffset = 20, kSerialBytes = 20;
    std::wstring serial;
    for (std::size_t i = 0; i < kSerialBytes; ++i) {
        const std::uint8_t byte = identifyPage[kSerialOffset + (i ^ 1)];
        serial += byte >= 0x20 && byte < 0x7F ? static_cast<wchar_t>(byte) : L'?';
    }
    const std::size_t first = serial.find_first_not_of(L' ');
    if (first == std::wstring::npos) return {};
    return serial.substr(first, serial.find_last_not_of(L' ') - first + 1);
}

std::wstring WmiSerial(const std::wstring& wmiText, bool swappedBySystem) {
    const std::wstring serial = swappedBySystem ? SwapSerialPairs(wmiText) : wmiText;
    const std::size_t first = serial.find_first_not_of(L' ');
    if (first == std::wstring::npos) return {};
    return serial.substr(first, serial.find_last_not_of(L' ') - first + 1);
}

}  // namespace win32
}  // namespace platform
