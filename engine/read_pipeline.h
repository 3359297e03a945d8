// The verifying read pipeline of both test loops: up to the queue depth of
// reads in flight, each completed block verified while the next ones are read.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/block_io.h"
#include "engine/loop_support.h"
#include "engine/pattern.h"
#include "engine/test_context.h"

/// What a block read back should hold; the loop decides.
class BlockVerifier {
public:
    virtual ~BlockVerifier() = default;
    /// Checks the block read from offsetBytes, reporting and counting what
    /// differs; returns the bit errors and error sectors it counted.
    virtual BlockErrors Verify(const std::uint8_t* data, std::int64_t offsetBytes) = 0;
    /// Verify, then zero-fills the block, so that a later transfer that leaves
    /// the buffer untouched cannot pass as intact.
    virtual BlockErrors VerifyAndClear(std::uint8_t* data, std::int64_t offsetBytes);
};

/// Reads 1 MiB blocks with up to buffers.Depth() reads in flight, into the
/// Depth() + 1 buffers of `buffers` from `firstBuffer` on: one more than the
/// reads in flight holds the completed block being verified. A batch is a run
/// of Read calls closed by Finish. Blocks are verified in the order their reads
/// complete; with one read in flight that is the order of the Read calls.
class ReadPipeline {
public:
    /// The session and the timings are those of the drive read from.
    ReadPipeline(DriveSession& session, const RunTimings& timings, TransferBuffers& buffers,
                 int firstBuffer, BlockVerifier& verifier);

    /// Queues the read of the block at offsetBytes. Once the queue is full,
    /// verifies and clears the last completed block while the reads run, then
    /// waits for the next completion. Returns the busy ticks of the completions
    /// collected. Throws as SubmitIo and WaitIo do.
    std::uint64_t Read(std::int64_t offsetBytes);

    /// Completes and verifies every read of the batch; the next Read begins a
    /// batch. Returns the busy ticks of the completions collected.
    std::uint64_t Finish();

private:
    void VerifyHeld();
    std::uint64_t CompleteOne();

    DriveSession& session_;
    const RunTimings& timings_;
    TransferBuffers& buffers_;
    BlockVerifier& verifier_;
    std::vector<std::uint8_t*> idle_;  // buffers neither read into nor awaiting verification
    std::uint8_t* held_ = nullptr;     // the completed block awaiting verification
    std::int64_t heldOffset_ = 0;      // where it was read from
};
