#include "engine/aligned_buffer.h"

#include <cstring>
#include <new>

#include "engine/ssd_test.h"

namespace {
// Page alignment satisfies unbuffered I/O on every drive.
constexpr std::align_val_t kBufferAlignment{4096};
}  // namespace

BlockBuffer::BlockBuffer()
    : data_(static_cast<std::uint8_t*>(::operator new(kBlockBytes, kBufferAlignment))) {
    zero();
}

void BlockBuffer::zero() { std::memset(data_.get(), 0, kBlockBytes); }

void BlockBuffer::Free::operator()(std::uint8_t* p) const {
    ::operator delete(p, kBufferAlignment);
}
