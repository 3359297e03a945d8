#include "engine/mmtimer.h"

#include "platform/clock.h"

mmtimer::mmtimer() : start_(0), frequency_(platform::PerformanceFrequency()) {
    start_ = platform::PerformanceCounter();
}

void mmtimer::restart() { start_ = platform::PerformanceCounter(); }

std::int64_t mmtimer::elapsed_ticks() const { return platform::PerformanceCounter() - start_; }

double mmtimer::elapsed_seconds() const {
    return static_cast<double>(elapsed_ticks()) / static_cast<double>(frequency_);
}
