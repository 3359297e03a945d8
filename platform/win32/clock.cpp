// Clock service on the Windows performance counter.
#include "platform/clock.h"

#include <windows.h>

namespace platform {

std::int64_t PerformanceCounter() {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

std::int64_t PerformanceFrequency() {
    LARGE_INTEGER frequency{};
    // Never fails on Windows XP and later; 1 keeps divisions defined anyway.
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) return 1;
    return frequency.QuadPart;
}

}  // namespace platform
