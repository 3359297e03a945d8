// A small io_uring queue for one drive's direct-I/O transfers, shared by the
// posix and lab drive backends.
#pragma once

#include <cstddef>
#include <cstdint>

struct io_uring;

namespace platform::posix {

/// Milliseconds of a clock that never goes back.
std::uint64_t MonotonicMs();

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

    /// Asks the ring to cancel the transfer submitted with `userData`; the
    /// cancel request's own completion carries `cancelTag`. Returns 0 or a
    /// negative errno. The transfer's completion still has to be collected.
    int Cancel(void* userData, void* cancelTag);

    /// Cancels the transfer of `userData` and waits up to timeoutMs for its
    /// completion, collecting it. Completions of other transfers that arrive
    /// meanwhile go to `other` (user data, result). True when it was reaped.
    template <typename Other>
    bool CancelAndReap(void* userData, void* cancelTag, std::uint32_t timeoutMs, Other other);

private:
    io_uring* ring_ = nullptr;
    const std::uint8_t* fixedStart_ = nullptr;  ///< the registered range
    std::size_t fixedBytes_ = 0;
};

template <typename Other>
bool UringQueue::CancelAndReap(void* userData, void* cancelTag, std::uint32_t timeoutMs,
                               Other other) {
    // A transfer that already finished is not found by the cancel, but its
    // completion is still queued: the wait below collects it either way.
    Cancel(userData, cancelTag);
    const std::uint64_t deadline = MonotonicMs() + timeoutMs;
    for (;;) {
        const std::uint64_t now = MonotonicMs();
        if (now >= deadline) return false;
        void* done = nullptr;
        int result = 0;
        const int rc = Wait(static_cast<std::uint32_t>(deadline - now), &done, &result);
        if (rc <= 0) return false;
        if (done == userData) return true;
        if (done != cancelTag) other(done, result);
    }
}

}  // namespace platform::posix
