// A 1 MiB block buffer aligned for unbuffered I/O, released on every path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class BlockBuffer {
public:
    BlockBuffer();  // zero-filled; throws std::bad_alloc
    std::uint8_t* data() { return data_.get(); }
    const std::uint8_t* data() const { return data_.get(); }
    std::uint32_t* words() { return reinterpret_cast<std::uint32_t*>(data_.get()); }
    const std::uint32_t* words() const {
        return reinterpret_cast<const std::uint32_t*>(data_.get());
    }
    void zero();

private:
    struct Free {
        void operator()(std::uint8_t* p) const;
    };
    std::unique_ptr<std::uint8_t, Free> data_;
};
