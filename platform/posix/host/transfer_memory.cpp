// Transfer memory on Linux: huge pages spare the kernel pinning 256 small
// pages for every 1 MiB transfer; normal pages when there are none.
#include "platform/transfer_memory.h"

#include <sys/mman.h>

#include <cstdint>

#include "platform/posix/host/transfer_pages.h"

namespace platform {
namespace posix {
namespace {

constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

std::size_t MappedBytes(std::size_t bytes) {
    return (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
}

void* MapAnonymous(std::size_t bytes, int flags) {
    void* memory =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | flags, -1, 0);
    return memory == MAP_FAILED ? nullptr : memory;
}

// A normal mapping of `bytes` starting on a huge page boundary: a larger one
// with the unaligned head and tail given back.
void* MapAligned(std::size_t bytes) {
    auto* raw = static_cast<std::uint8_t*>(MapAnonymous(bytes + kHugePageBytes, 0));
    if (raw == nullptr) return nullptr;
    const auto address = reinterpret_cast<std::uintptr_t>(raw);
    const std::size_t head = (kHugePageBytes - address % kHugePageBytes) % kHugePageBytes;
    if (head != 0) ::munmap(raw, head);
    ::munmap(raw + head + bytes, kHugePageBytes - head);
    return raw + head;
}

}  // namespace

void* MapTransferPages(std::size_t bytes, PageKind first, PageKind* kind) {
    const std::size_t mapped = MappedBytes(bytes);
    if (first == PageKind::kHugeTlb) {
        if (void* memory = MapAnonymous(mapped, MAP_HUGETLB)) {
            *kind = PageKind::kHugeTlb;
            return memory;
        }
    }
    void* memory = MapAligned(mapped);
    if (memory == nullptr) return nullptr;
    *kind = PageKind::kNormal;
    if (first != PageKind::kNormal && ::madvise(memory, mapped, MADV_HUGEPAGE) == 0)
        *kind = PageKind::kTransparentHuge;
    return memory;
}

void UnmapTransferPages(void* memory, std::size_t bytes) {
    if (memory != nullptr) ::munmap(memory, MappedBytes(bytes));
}

}  // namespace posix

void* AllocateTransferMemory(std::size_t bytes) {
    posix::PageKind kind;
    return posix::MapTransferPages(bytes, posix::PageKind::kHugeTlb, &kind);
}

void FreeTransferMemory(void* memory, std::size_t bytes) {
    posix::UnmapTransferPages(memory, bytes);
}

}  // namespace platform
