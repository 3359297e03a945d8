// A small io_uring queue for one drive's direct-I/O transfers, shared by the
// posix and lab drive backends.
#pragma once

#include <cstddef>
#include <cstdint>

struct io_uring;

namespace platform::posix {

class UringQueue {
public:
    UringQueue() = default;
    ~UringQueue();
    UringQueue(const UringQueue&) = delete;
    UringQueue& operator=(const UringQueue&) = delete;

    /// Sets up the ring. Returns 0 or a negative errno.
    int Init(unsigned entries = 8);

    /// Registers one memory range as the ring's fixed buffer, replacing an
    /// earlier one: transfers inside it then skip pinning their pages. Returns
    /// 0 or a negative errno (no range registered then).
    int RegisterBuffer(void* memory, std::size_t bytes);

    /// Drops the registered range, if any.
    void UnregisterBuffer();

    /// Queues and submits one read or write; `userData` comes back with its
    /// completion. Returns 0 or a negative errno (nothing queued then).
    int Submit(int fd, bool isRead, void* buffer, std::uint32_t length, std::int64_t offsetBytes,
               void* userData);

    /// Waits up to timeoutMs for one completion. Returns 1 with the transfer's
    /// user data and result (bytes, or a negative errno) in *result, 0 on
    /// time-out, or a negative errno when waiting itself failed.
    int Wait(std::uint32_t timeoutMs, void** userData, int* result);

private:
    io_uring* ring_ = nullptr;
    const std::uint8_t* fixedStart_ = nullptr;  ///< the registered range
    std::size_t fixedBytes_ = 0;
};

}  // namespace platform::posix
