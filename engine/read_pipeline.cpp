#include "engine/read_pipeline.h"

#include <algorithm>

BlockErrors BlockVerifier::VerifyAndClear(std::uint8_t* data, std::int64_t offsetBytes) {
    const BlockErrors errors = Verify(data, offsetBytes);
    std::fill(data, data + kBlockBytes, 0);
    return errors;
}

ReadPipeline::ReadPipeline(DriveSession& session, const RunTimings& timings,
                           TransferBuffers& buffers, int firstBuffer, BlockVerifier& verifier)
    : session_(session), timings_(timings), buffers_(buffers), verifier_(verifier) {
    // Taken from the back: the first read goes to firstBuffer.
    for (int i = static_cast<int>(buffers.Depth()); i >= 0; --i)
        idle_.push_back(buffers[firstBuffer + i].data());
}

std::uint64_t ReadPipeline::Read(std::int64_t offsetBytes) {
    buffers_.Submit(session_, timings_, offsetBytes, idle_.back(), true);
    idle_.pop_back();
    if (buffers_.InFlight() < buffers_.Depth()) return 0;
    VerifyHeld();
    return CompleteOne();
}

std::uint64_t ReadPipeline::Finish() {
    std::uint64_t ticks = 0;
    while (buffers_.InFlight() > 0) {
        VerifyHeld();
        ticks += CompleteOne();
    }
    VerifyHeld();
    return ticks;
}

void ReadPipeline::VerifyHeld() {
    if (held_ == nullptr) return;
    // Every block read back is verified here, once, with its own offset.
    verifier_.VerifyAndClear(held_, heldOffset_);
    idle_.push_back(held_);
    held_ = nullptr;
}

std::uint64_t ReadPipeline::CompleteOne() {
    const Completion done = buffers_.Complete(session_, timings_);
    held_ = done.buffer;
    heldOffset_ = done.offsetBytes;
    return done.busyTicks;
}
