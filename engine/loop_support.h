// Pieces the normal and the read-only test loops share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/aligned_buffer.h"
#include "engine/block_io.h"
#include "engine/test_context.h"

/// The poll before each block: kAbandoned once abandonRequested is set, else
/// the installed poll's answer (kGoOn unless a key or a stop request says stop).
StopCode PollInterrupt(CSSDTest& test);

/// True when the block just finished ends the round: the next block would
/// reach or pass the end of the drive.
bool EndOfDriveReached(std::int64_t offset, std::int64_t driveSize);

/// True when the batch ends after its block number `blocks`, which ended at
/// `offset`: at the end of the drive (*stop then becomes kEndOfDrive) or
/// because the batch is full.
bool BatchEnds(std::int64_t offset, std::int64_t driveSize, std::uint32_t blocks, StopCode* stop);

/// The round's raw bit error rate from the drive's counters: 0 unless the round
/// ran to the end of the drive and sectors were read, else printed as
/// "RBER: <rate>".
double RoundRber(StopCode stop, const CSSDTest& test, std::uint64_t sectorsAtStart,
                 std::uint64_t errorBitsAtStart);

/// Publishes the result log, throws "Log Reopen Failed!" when the log could
/// not be reopened, then captures the viewer.
void PublishAndCapture(CSSDTest& test);

/// Closes a round that ended with `stop`: its rate (RoundRber), its result
/// line, the log's publication and the viewer capture, the run's round count
/// and trace note. Throws as PublishAndCapture does.
void CloseRound(CSSDTest& test, StopCode stop, double readSpeed, double writeSpeed,
                std::uint64_t sectorsAtStart, std::uint64_t errorBitsAtStart);

/// The block buffers and transfer requests of one loop, and the one transfer
/// in flight. The buffers share one piece of transfer memory, registered with
/// the drive's port at the first transfer. A transfer still in flight when they
/// go (the loop failed) is cancelled and reaped first; only when the reap
/// itself times out are the buffers and requests kept for ever, so the drive
/// never reads or writes released memory.
class TransferBuffers {
public:
    explicit TransferBuffers(int count, int requestCount = 1);
    ~TransferBuffers();
    TransferBuffers(const TransferBuffers&) = delete;
    TransferBuffers& operator=(const TransferBuffers&) = delete;

    BlockBuffer& operator[](int index) { return *buffers_[static_cast<std::size_t>(index)]; }
    /// A zeroed request that lives as long as the buffers (or longer, see above).
    IoRequest& Request(int index) { return *requests_[static_cast<std::size_t>(index)]; }

    /// SubmitIo, remembering that the transfer is in flight.
    void Submit(CSSDTest& test, IoRequest& request);
    /// WaitIo; returns the completed transfer's device time in ticks.
    std::uint64_t Complete(CSSDTest& test);

private:
    TransferMemory memory_;
    std::vector<std::unique_ptr<BlockBuffer>> buffers_;
    std::vector<std::unique_ptr<IoRequest>> requests_;
    platform::Drive* registeredDrive_ = nullptr;
    CSSDTest* test_ = nullptr;
    IoRequest* inFlight_ = nullptr;  // submitted, completion not yet returned
};
