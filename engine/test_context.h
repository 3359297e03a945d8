// The test context of one run on one physical drive.
#pragma once

#include <cstdint>

#include "engine/block_size.h"
#include "engine/context_roles.h"

/// The test context of one run: its parts by role (see engine/context_roles.h),
/// joined so that the loops and the run driver hold one object.
class CSSDTest : public RunSettings,
                 public DriveSession,
                 public StatusTrack,
                 public ResultLogFile,
                 public VerificationTotals,
                 public PatternSource,
                 public RunControl {
public:
    /// Seeds the pattern generator from the calendar time and reads the
    /// counter frequency.
    CSSDTest();
    /// Closes the drive with its port and the result log.
    ~CSSDTest();
    CSSDTest(const CSSDTest&) = delete;
    CSSDTest& operator=(const CSSDTest&) = delete;

    /// The erase count at which the write test ends: the target, or the
    /// erase count at which the operator asked to finish the round.
    std::uint32_t StopAec() const { return finishRoundAt ? *finishRoundAt : aecTarget; }
};
