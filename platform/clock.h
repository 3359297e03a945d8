// Clock service: the high-resolution performance counter.
#pragma once

#include <cstdint>

namespace platform {

/// Current value of the monotonic high-resolution counter, in ticks.
std::int64_t PerformanceCounter();

/// Ticks per second of PerformanceCounter; never 0.
std::int64_t PerformanceFrequency();

}  // namespace platform
