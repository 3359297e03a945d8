// What the test loops tell the run after each batch and at each round's end.
// The loops only move and verify blocks; the recorder above them (see
// tracking/round_recorder.h) follows the drive's SMART status, keeps the
// result log, publishes it, captures the viewer and notes the round.
#pragma once

#include "engine/context_roles.h"

class RoundEvents {
public:
    virtual ~RoundEvents() = default;

    /// A round begins from the drive's counters as they are now.
    virtual void RoundStarted() = 0;

    /// A batch ended: the drive's status is refreshed and, with `lineOnChange`,
    /// a result line with the batch's device speeds appended when a tracked
    /// counter moved. True when one moved.
    virtual bool BatchDone(double readSpeed, double writeSpeed, bool lineOnChange) = 0;

    /// The round ended with `stop`, after BatchDone for its last batch: its raw
    /// bit error rate, result line, error map, publication and viewer capture,
    /// its count and note, then the run's observer. The next round starts from
    /// the counters as they are then. Throws "Log Reopen Failed!" when the log
    /// could not be reopened after its publication.
    virtual void RoundClosed(StopCode stop, double readSpeed, double writeSpeed) = 0;
};
