// Interval timer on the high-resolution performance counter.
#pragma once

#include <cstdint>

class mmtimer {
public:
    mmtimer();
    virtual ~mmtimer() = default;

    void restart();
    std::int64_t elapsed_ticks() const;
    double elapsed_seconds() const;

private:
    std::int64_t start_;
    std::int64_t frequency_;
};
