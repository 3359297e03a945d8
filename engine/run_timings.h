// The time-outs and waits of one run, in one value the test context holds.
#pragma once

#include <cstdint>

/// How long a run waits for the drive and for the companion viewer, in
/// milliseconds. The defaults are the program's; tests shorten them.
struct RunTimings {
    std::uint32_t completionWaitMs = 10000;  ///< for the next transfer's completion
    std::uint32_t reapWaitMs = 10000;        ///< for a cancelled transfer to give its memory back

    std::uint32_t viewerMutexWaitMs = 30000;  ///< for the viewer mutex another tester may hold
    std::uint32_t viewerStartDelayMs = 200;   ///< after the start, before each look for the window
    std::uint32_t viewerWindowWaitMs =
        5000;                               ///< how long the started viewer's window is looked for
    std::uint32_t viewerEndWaitMs = 10000;  ///< each wait for the viewer's end
    std::uint32_t viewerClosesBeforeKill = 3;  ///< closes posted before the viewer is terminated
    std::uint32_t keyMenuDelayMs = 500;        ///< before the second and the fourth key batch
    std::uint32_t keySelectDelayMs = 100;      ///< before the third key batch
};
