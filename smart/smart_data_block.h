// The SMART READ DATA page with a compact index of its non-empty attribute entries.
#pragma once

#include <array>
#include <cstdint>

#include "platform/ata_wire.h"

struct SmartDataBlock {
    std::array<std::uint8_t, platform::ata::kPageBytes> page{};
    /// References (into `page`) to every entry whose ID byte is not 0, in page
    /// order; the rest are nullptr. Copying a block must rebuild them, so blocks
    /// are not copyable.
    std::array<const std::uint8_t*, platform::ata::kAttributeSlots> entries{};

    SmartDataBlock() = default;
    SmartDataBlock(const SmartDataBlock&) = delete;
    SmartDataBlock& operator=(const SmartDataBlock&) = delete;

    /// Zeroes the page and the index.
    void Clear();
    /// Copies 512 page bytes and rebuilds the index.
    void Build(const std::uint8_t* pageBytes);
};

/// Calls visit(entry) for each attribute entry by the walk rule: from the
/// front, stopping at the first empty reference, the first entry with ID 0, or
/// after 30 entries.
template <typename Visit>
void ForEachAttribute(const SmartDataBlock& block, Visit visit) {
    for (const std::uint8_t* entry : block.entries) {
        if (entry == nullptr || entry[0] == 0) break;
        visit(entry);
    }
}
