#include "platform/clock.h"

#include <ctime>

namespace platform {

std::int64_t PerformanceCounter() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

std::int64_t PerformanceFrequency() { return 1000000000LL; }

}  // namespace platform
