// The SMART READ DATA page and its compact index of non-empty attribute entries.
#include "smart/smart_data_block.h"

#include <algorithm>

namespace {
// The attribute table starts after the two-byte data structure revision.
constexpr int kFirstEntryOffset = 2;
}  // namespace

void SmartDataBlock::Clear() {
    page.fill(0);
    entries.fill(nullptr);
}

void SmartDataBlock::Build(const std::uint8_t* pageBytes) {
    Clear();
    std::copy(pageBytes, pageBytes + kSmartPageBytes, page.begin());
    // Entries with ID 0 are skipped, so the index stays compact when the drive
    // leaves gaps in its table.
    int used = 0;
    for (int slot = 0; slot < kSmartAttributeSlots; ++slot) {
        const std::uint8_t* entry = page.data() + kFirstEntryOffset + slot * kSmartEntryBytes;
        if (entry[0] != 0) entries[static_cast<std::size_t>(used++)] = entry;
    }
}
