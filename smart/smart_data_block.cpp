// The SMART READ DATA page and its compact index of non-empty attribute entries.
#include "smart/smart_data_block.h"

#include <algorithm>

namespace ata = platform::ata;

void SmartDataBlock::Clear() {
    page.fill(0);
    entries.fill(nullptr);
}

void SmartDataBlock::Build(const std::uint8_t* pageBytes) {
    Clear();
    std::copy(pageBytes, pageBytes + ata::kPageBytes, page.begin());
    // Entries with ID 0 are skipped, so the index stays compact when the drive
    // leaves gaps in its table.
    int used = 0;
    for (int slot = 0; slot < ata::kAttributeSlots; ++slot) {
        const std::uint8_t* entry =
            page.data() + ata::kAttributeTableOffset + slot * ata::kAttributeEntryBytes;
        if (entry[0] != 0) entries[static_cast<std::size_t>(used++)] = entry;
    }
}
