// Transfer memory: whichever page kind is asked for, the memory comes zeroed,
// aligned to the huge page size and whole, falling back to the next kind when
// the system has none of the first.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>

#include "platform/posix/host/transfer_pages.h"

namespace {

using platform::posix::PageKind;

constexpr std::size_t kMiB = 1048576;

long ReservedHugePagesFree() {
    std::ifstream meminfo("/proc/meminfo");
    std::string name;
    long value = 0;
    while (meminfo >> name >> value)
        if (name == "HugePages_Free:") return value;
    return 0;
}

TEST(TransferPages, EveryKindGivesZeroedAlignedMemoryAndFallsBackWhenUnavailable) {
    const bool reservedPagesFree = ReservedHugePagesFree() >= 2;
    for (PageKind first : {PageKind::kHugeTlb, PageKind::kTransparentHuge, PageKind::kNormal}) {
        PageKind kind = PageKind::kHugeTlb;
        auto* memory =
            static_cast<std::uint8_t*>(platform::posix::MapTransferPages(3 * kMiB, first, &kind));
        ASSERT_NE(memory, nullptr) << static_cast<int>(first);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(memory) % (2 * kMiB), 0u);
        EXPECT_GE(static_cast<int>(kind), static_cast<int>(first)) << "only later kinds stand in";
        if (first == PageKind::kHugeTlb && !reservedPagesFree) {
            EXPECT_NE(kind, PageKind::kHugeTlb);
        }
        EXPECT_TRUE(std::all_of(memory, memory + 3 * kMiB, [](std::uint8_t b) { return b == 0; }));
        std::fill(memory, memory + 3 * kMiB, 0xa5);  // all of it is writable
        platform::posix::UnmapTransferPages(memory, 3 * kMiB);
    }
}

}  // namespace
