#include "engine/aligned_buffer.h"

#include <cstring>
#include <new>

#include "engine/test_context.h"
#include "platform/transfer_memory.h"

namespace {
// Page alignment satisfies unbuffered I/O on every drive.
constexpr std::align_val_t kBufferAlignment{4096};
}  // namespace

BlockBuffer::BlockBuffer()
    : data_(static_cast<std::uint8_t*>(::operator new(kBlockBytes, kBufferAlignment)), Free{true}) {
    zero();
}

BlockBuffer::BlockBuffer(std::uint8_t* block) : data_(block, Free{false}) {}

void BlockBuffer::zero() { std::memset(data_.get(), 0, kBlockBytes); }

void BlockBuffer::Free::operator()(std::uint8_t* p) const {
    if (owned) ::operator delete(p, kBufferAlignment);
}

TransferMemory::TransferMemory(std::size_t blocks)
    : data_(static_cast<std::uint8_t*>(platform::AllocateTransferMemory(blocks * kBlockBytes))),
      bytes_(blocks * kBlockBytes),
      blockBytes_(kBlockBytes) {
    if (data_ == nullptr) throw std::bad_alloc();
}

TransferMemory::~TransferMemory() { platform::FreeTransferMemory(data_, bytes_); }
