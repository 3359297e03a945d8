#include "platform/posix/io/uring_queue.h"

#include <liburing.h>
#include <sys/uio.h>

#include <cerrno>
#include <chrono>
#include <new>

namespace platform::posix {

std::uint64_t MonotonicMs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

UringQueue::~UringQueue() {
    if (ring_ != nullptr) {
        io_uring_queue_exit(ring_);
        delete ring_;
    }
}

int UringQueue::Init(unsigned entries) {
    if (ring_ != nullptr) return 0;
    auto* ring = new (std::nothrow) io_uring();  // value-initialized (zeroed)
    if (ring == nullptr) return -ENOMEM;
    const int rc = io_uring_queue_init(entries, ring, 0);
    if (rc < 0) {
        delete ring;
        return rc;
    }
    ring_ = ring;
    return 0;
}

int UringQueue::RegisterBuffer(void* memory, std::size_t bytes) {
    if (ring_ == nullptr) return -EBADF;
    UnregisterBuffer();
    const iovec range{memory, bytes};
    const int rc = io_uring_register_buffers(ring_, &range, 1);
    if (rc < 0) return rc;
    fixedStart_ = static_cast<const std::uint8_t*>(memory);
    fixedBytes_ = bytes;
    return 0;
}

void UringQueue::UnregisterBuffer() {
    if (ring_ == nullptr || fixedStart_ == nullptr) return;
    io_uring_unregister_buffers(ring_);
    fixedStart_ = nullptr;
    fixedBytes_ = 0;
}

int UringQueue::Submit(int fd, bool isRead, void* buffer, std::uint32_t length,
                       std::int64_t offsetBytes, void* userData) {
    if (ring_ == nullptr) return -EBADF;
    io_uring_sqe* sqe = io_uring_get_sqe(ring_);
    if (sqe == nullptr) return -EBUSY;
    // A transfer inside the registered range uses it as a fixed buffer.
    const auto start = reinterpret_cast<std::uintptr_t>(buffer);
    const auto fixedStart = reinterpret_cast<std::uintptr_t>(fixedStart_);
    const bool fixed = fixedStart_ != nullptr && start >= fixedStart && length <= fixedBytes_ &&
                       start - fixedStart <= fixedBytes_ - length;
    const auto offset = static_cast<__u64>(offsetBytes);
    if (fixed && isRead)
        io_uring_prep_read_fixed(sqe, fd, buffer, length, offset, 0);
    else if (fixed)
        io_uring_prep_write_fixed(sqe, fd, buffer, length, offset, 0);
    else if (isRead)
        io_uring_prep_read(sqe, fd, buffer, length, offset);
    else
        io_uring_prep_write(sqe, fd, buffer, length, offset);
    io_uring_sqe_set_data(sqe, userData);
    const int rc = io_uring_submit(ring_);
    return rc < 0 ? rc : 0;
}

int UringQueue::Cancel(void* userData, void* cancelTag) {
    if (ring_ == nullptr) return -EBADF;
    io_uring_sqe* sqe = io_uring_get_sqe(ring_);
    if (sqe == nullptr) return -EBUSY;
    io_uring_prep_cancel(sqe, userData, 0);
    io_uring_sqe_set_data(sqe, cancelTag);
    const int rc = io_uring_submit(ring_);
    return rc < 0 ? rc : 0;
}

int UringQueue::Wait(std::uint32_t timeoutMs, void** userData, int* result) {
    if (ring_ == nullptr) return -EBADF;
    __kernel_timespec ts{};
    ts.tv_sec = timeoutMs / 1000;
    ts.tv_nsec = static_cast<long long>(timeoutMs % 1000) * 1000000LL;
    io_uring_cqe* cqe = nullptr;
    int rc;
    do {
        rc = io_uring_wait_cqe_timeout(ring_, &cqe, &ts);
    } while (rc == -EINTR);
    if (rc == -ETIME) return 0;
    if (rc < 0) return rc;
    *userData = io_uring_cqe_get_data(cqe);
    *result = cqe->res;
    io_uring_cqe_seen(ring_, cqe);
    return 1;
}

}  // namespace platform::posix
