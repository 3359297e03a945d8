// Mappings for transfer memory: explicit huge pages, transparent huge pages
// or normal pages, whichever the system gives first.
#pragma once

#include <cstddef>

namespace platform::posix {

enum class PageKind {
    kHugeTlb,          ///< reserved huge pages (MAP_HUGETLB)
    kTransparentHuge,  ///< normal mapping advised to use transparent huge pages
    kNormal,           ///< normal pages
};

/// Maps `bytes` of zero-filled memory aligned to the huge page size, trying the
/// page kinds from `first` on; *kind says which one it got. nullptr when no
/// kind could be mapped.
void* MapTransferPages(std::size_t bytes, PageKind first, PageKind* kind);

/// Unmaps memory of MapTransferPages (the same `bytes`).
void UnmapTransferPages(void* memory, std::size_t bytes);

}  // namespace platform::posix
