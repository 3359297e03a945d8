// Transfer memory on Windows: committed pages (page aligned and zero-filled);
// large pages need a privilege an operator rarely grants, so none are used.
#include "platform/transfer_memory.h"

#include <windows.h>

namespace platform {

void* AllocateTransferMemory(std::size_t bytes) {
    return ::VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void FreeTransferMemory(void* memory, std::size_t) {
    if (memory != nullptr) ::VirtualFree(memory, 0, MEM_RELEASE);
}

}  // namespace platform
