// Test helper: builds SMART READ DATA pages entry by entry.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "smart/smart_data_block.h"

class SmartPage {
public:
    /// Sets slot `slot` to attribute `id` with entry bytes 3.. taken from `bytes`.
    SmartPage& Entry(int slot, std::uint8_t id, std::initializer_list<std::uint8_t> bytes = {}) {
        std::uint8_t* entry = Slot(slot);
        entry[0] = id;
        int at = 3;
        for (std::uint8_t byte : bytes) entry[at++] = byte;
        return *this;
    }

    /// Appends attribute `id` in the next free slot.
    SmartPage& Add(std::uint8_t id, std::initializer_list<std::uint8_t> bytes = {}) {
        return Entry(next_++, id, bytes);
    }

    /// Appends each attribute of `ids` with zero values.
    SmartPage& AddIds(const std::vector<int>& ids) {
        for (int id : ids) Add(static_cast<std::uint8_t>(id));
        return *this;
    }

    /// Builds `block` from the page.
    void BuildInto(SmartDataBlock* block) const { block->Build(bytes_.data()); }

    const std::uint8_t* Bytes() const { return bytes_.data(); }

private:
    std::uint8_t* Slot(int slot) {
        return bytes_.data() + 2 + slot * platform::ata::kAttributeEntryBytes;
    }

    std::array<std::uint8_t, platform::ata::kPageBytes> bytes_{};
    int next_ = 0;
};
