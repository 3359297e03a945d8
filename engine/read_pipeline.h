// The verifying read pipeline of both test loops: each block is verified
// while the next one is being read, alternating between two read buffers.
#pragma once

#include <cstdint>

#include "engine/block_io.h"
#include "engine/loop_support.h"
#include "engine/test_context.h"

/// What a block read back should hold; the loop decides.
class BlockVerifier {
public:
    virtual ~BlockVerifier() = default;
    /// Checks the block read from offsetBytes, reporting and counting what differs.
    virtual void Verify(const std::uint8_t* data, std::int64_t offsetBytes) = 0;
    /// Verify, then zero-fills the block, so that a later transfer that leaves
    /// the buffer untouched cannot pass as intact.
    virtual void VerifyAndClear(std::uint8_t* data, std::int64_t offsetBytes);
};

/// Reads blocks one at a time through one read request into two read buffers
/// in turn. A batch is a run of Read calls closed by Finish.
class ReadPipeline {
public:
    /// Makes `request` a 1 MiB read over buffers readA and readB of `buffers`;
    /// the first block goes to readA.
    ReadPipeline(CSSDTest& test, TransferBuffers& buffers, int readA, int readB, IoRequest& request,
                 BlockVerifier& verifier);

    /// Reads the block at offsetBytes; while it is in flight, verifies and
    /// clears the batch's block before it, if any. Returns the read's device
    /// time in ticks. Throws as SubmitIo and WaitIo do.
    std::uint64_t Read(std::int64_t offsetBytes);

    /// Verifies the batch's last block, if any; the next Read begins a batch.
    void Finish();

private:
    /// Submits the read into the other buffer; returns the buffer it held.
    std::uint8_t* Queue(std::int64_t offsetBytes);
    void VerifyPrevious(std::uint8_t* previous);
    /// Waits for the read, whose block then awaits verification; returns its ticks.
    std::uint64_t Complete();

    CSSDTest& test_;
    TransferBuffers& buffers_;
    std::uint8_t* readA_;
    std::uint8_t* readB_;
    IoRequest& request_;
    BlockVerifier& verifier_;
    bool holding_ = false;         // a block of this batch is read and not yet verified
    std::int64_t heldOffset_ = 0;  // where that block was read from
};
