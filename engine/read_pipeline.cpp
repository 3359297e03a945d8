#include "engine/read_pipeline.h"

#include <algorithm>

void BlockVerifier::VerifyAndClear(std::uint8_t* data, std::int64_t offsetBytes) {
    Verify(data, offsetBytes);
    std::fill(data, data + kBlockBytes, 0);
}

ReadPipeline::ReadPipeline(CSSDTest& test, TransferBuffers& buffers, int readA, int readB,
                           IoRequest& request, BlockVerifier& verifier)
    : test_(test),
      buffers_(buffers),
      readA_(buffers[readA].data()),
      readB_(buffers[readB].data()),
      request_(request),
      verifier_(verifier) {
    request_.isRead = true;
    request_.length = kBlockBytes;
    request_.buffer = readB_;
}

std::uint64_t ReadPipeline::Read(std::int64_t offsetBytes) {
    std::uint8_t* previous = Queue(offsetBytes);
    VerifyPrevious(previous);
    return Complete();
}

void ReadPipeline::Finish() {
    if (holding_) verifier_.Verify(static_cast<const std::uint8_t*>(request_.buffer), heldOffset_);
    holding_ = false;
}

std::uint8_t* ReadPipeline::Queue(std::int64_t offsetBytes) {
    auto* held = static_cast<std::uint8_t*>(request_.buffer);
    request_.buffer = held == readA_ ? readB_ : readA_;
    request_.offset = offsetBytes;
    buffers_.Submit(test_, request_);
    return held;
}

void ReadPipeline::VerifyPrevious(std::uint8_t* previous) {
    if (holding_) verifier_.VerifyAndClear(previous, heldOffset_);
}

std::uint64_t ReadPipeline::Complete() {
    const std::uint64_t ticks = buffers_.Complete(test_);
    holding_ = true;
    heldOffset_ = request_.offset;
    return ticks;
}
