// Transfer memory service: memory for the block buffers of unbuffered
// transfers, on huge pages where the system provides them.
#pragma once

#include <cstddef>

namespace platform {

/// `bytes` of zero-filled memory aligned for unbuffered I/O, on huge pages
/// where the system has them, else on normal pages. nullptr when out of memory.
void* AllocateTransferMemory(std::size_t bytes);

/// Releases memory of AllocateTransferMemory (the same `bytes`); nullptr is ignored.
void FreeTransferMemory(void* memory, std::size_t bytes);

}  // namespace platform
