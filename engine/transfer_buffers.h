// The block buffers of one test loop and the transfers it keeps in flight on
// them: up to a queue depth of overlapped transfers through the drive's port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/aligned_buffer.h"
#include "engine/block_io.h"
#include "engine/context_roles.h"

/// Deepest queue the loops keep: transfers in flight at once.
constexpr std::uint32_t kMaxQueueDepth = 64;

/// The transfers a loop keeps in flight: the operator's --queue-depth, else
/// the drive's own choice, else one; always 1 to kMaxQueueDepth.
std::uint32_t LoopQueueDepth(const RunSettings& settings, const DriveSession& session);

/// A completed transfer, as TransferBuffers::Complete returns it.
struct Completion {
    std::int64_t offsetBytes;
    std::uint8_t* buffer;
    bool isRead;
    /// Counter ticks this completion adds to the time the drive was busy with
    /// at least one of these transfers: overlapping transfers count once, so a
    /// pass's speed is its completed bytes over its busy time at any depth
    /// (with one transfer in flight, the transfer's own device time).
    std::uint64_t busyTicks;
};

/// The block buffers share one piece of transfer memory, registered with the
/// drive's port at the first transfer. Transfers still in flight when the
/// buffers go (a failure, a time-out) are cancelled and reaped first; only when
/// a reap itself times out are the memory and the requests kept for ever, so
/// the drive never reads or writes released memory.
class TransferBuffers {
public:
    /// `count` zeroed 1 MiB buffers and room for `depth` transfers in flight.
    explicit TransferBuffers(int count, std::uint32_t depth = 1);
    ~TransferBuffers();
    TransferBuffers(const TransferBuffers&) = delete;
    TransferBuffers& operator=(const TransferBuffers&) = delete;

    BlockBuffer& operator[](int index) { return *buffers_[static_cast<std::size_t>(index)]; }

    std::uint32_t Depth() const { return static_cast<std::uint32_t>(requests_.size()); }
    std::uint32_t InFlight() const { return static_cast<std::uint32_t>(inFlight_.size()); }

    /// Starts a 1 MiB read into or write from `buffer` (one of these buffers)
    /// at offsetBytes on the session's drive; needs InFlight() < Depth().
    /// Throws as SubmitIo does. The session and the timings must outlive
    /// these buffers: their end reaps the transfers still in flight.
    void Submit(DriveSession& session, const RunTimings& timings, std::int64_t offsetBytes,
                std::uint8_t* buffer, bool isRead);

    /// Waits for the next completion (WaitIo); throws as WaitIo does, and the
    /// transfer then counts as in flight until the buffers go.
    Completion Complete(DriveSession& session, const RunTimings& timings);

    /// Start of the lowest write in flight (a failed one included), or -1.
    std::int64_t LowestWriteInFlight() const;

private:
    /// Cancels and reaps every transfer in flight; false when a reap timed out.
    bool CancelInFlight();

    TransferMemory memory_;
    std::vector<std::unique_ptr<BlockBuffer>> buffers_;
    std::vector<std::unique_ptr<IoRequest>> requests_;
    std::vector<IoRequest*> idle_;      // free for the next transfer
    std::vector<IoRequest*> inFlight_;  // submitted, completion not yet returned
    platform::Drive* registeredDrive_ = nullptr;
    DriveSession* session_ = nullptr;  // the drive of the last transfer, if still open
    const RunTimings* timings_ = nullptr;
    std::int64_t lastCompleteTicks_ = 0;  // where the busy time counted so far ends
};
