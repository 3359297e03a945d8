// The run's answer to the test loops' round events: SMART, the result log, its
// publication, the error map, the viewer capture and the trace notes.
#pragma once

#include <cstdint>

#include "engine/round_events.h"
#include "engine/test_context.h"

class RoundRecorder : public RoundEvents {
public:
    /// Records the rounds of `test` and installs itself as its round events
    /// until it goes.
    explicit RoundRecorder(CSSDTest& test);
    ~RoundRecorder() override;
    RoundRecorder(const RoundRecorder&) = delete;
    RoundRecorder& operator=(const RoundRecorder&) = delete;

    void RoundStarted() override;
    bool BatchDone(double readSpeed, double writeSpeed, bool lineOnChange) override;
    void RoundClosed(StopCode stop, double readSpeed, double writeSpeed) override;

private:
    CSSDTest& test_;
    std::uint64_t sectorsAtStart_ = 0;    // the drive's read sectors when the round began
    std::uint64_t errorBitsAtStart_ = 0;  // and its error bits (RateErrorBits)
};

/// The round's raw bit error rate from the drive's counters: 0 unless the round
/// ran to the end of the drive and sectors were read, else printed as
/// "RBER: <rate>".
double RoundRber(StopCode stop, const CSSDStatus& status, const VerificationTotals& totals,
                 std::uint64_t sectorsAtStart, std::uint64_t errorBitsAtStart);

/// Appends the round's error map to the file beside the result log and copies
/// it beside the shared copy of the log; a file that cannot be written is said
/// once and the test goes on.
void WriteErrorMapRound(CSSDTest& test, bool complete);
