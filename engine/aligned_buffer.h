// 1 MiB block buffers aligned for unbuffered I/O, released on every path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class BlockBuffer {
public:
    BlockBuffer();  // owns zero-filled memory; throws std::bad_alloc
    /// A view of one block of memory owned elsewhere (see TransferMemory).
    explicit BlockBuffer(std::uint8_t* block);
    std::uint8_t* data() { return data_.get(); }
    const std::uint8_t* data() const { return data_.get(); }
    std::uint32_t* words() { return reinterpret_cast<std::uint32_t*>(data_.get()); }
    const std::uint32_t* words() const {
        return reinterpret_cast<const std::uint32_t*>(data_.get());
    }
    void zero();

private:
    struct Free {
        bool owned = true;
        void operator()(std::uint8_t* p) const;
    };
    std::unique_ptr<std::uint8_t, Free> data_;
};

/// Zero-filled memory for a number of block buffers in one piece, on huge
/// pages where the system has them, so it can be registered for transfers.
class TransferMemory {
public:
    explicit TransferMemory(std::size_t blocks);  // throws std::bad_alloc
    ~TransferMemory();
    TransferMemory(const TransferMemory&) = delete;
    TransferMemory& operator=(const TransferMemory&) = delete;

    std::uint8_t* block(std::size_t index) { return data_ + index * blockBytes_; }
    std::uint8_t* data() { return data_; }
    std::size_t bytes() const { return bytes_; }
    /// Keeps the memory allocated for ever: a transfer may still use it.
    void keep() { data_ = nullptr; }

private:
    std::uint8_t* data_;
    std::size_t bytes_;
    std::size_t blockBytes_;
};
