// Every population count variant this CPU runs agrees with a count bit by bit.
#include "engine/bit_count.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::uint64_t CountBitByBit(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b,
                            std::size_t bytes) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < bytes; ++i)
        for (int bit = 0; bit < 8; ++bit) bits += static_cast<unsigned>((a[i] ^ b[i]) >> bit) & 1u;
    return bits;
}

TEST(BitCount, EveryVariantAgreesWithACountBitByBit) {
    constexpr std::size_t kBytes = 65536;
    std::mt19937 random(12345);
    std::vector<std::uint8_t> a(kBytes);
    std::vector<std::uint8_t> b(kBytes);
    for (auto& byte : a) byte = static_cast<std::uint8_t>(random());
    b = a;
    b[0] ^= 0x01;   // first bit of the range
    b[63] ^= 0x80;  // last bit of the first 64 bytes
    b[4096] = static_cast<std::uint8_t>(~b[4096]);
    for (std::size_t i = 8192; i < kBytes; ++i) b[i] = static_cast<std::uint8_t>(random());
    const std::vector<std::uint8_t> inverse = [&] {
        std::vector<std::uint8_t> v(a);
        for (auto& byte : v) byte = static_cast<std::uint8_t>(~byte);
        return v;
    }();

    ASSERT_TRUE(bit_count::Variants().front().supported) << "the portable count runs anywhere";
    for (const bit_count::Variant& variant : bit_count::Variants()) {
        if (!variant.supported) continue;
        for (std::size_t bytes : {std::size_t{64}, std::size_t{512}, std::size_t{4160}, kBytes}) {
            EXPECT_EQ(variant.count(a.data(), b.data(), bytes), CountBitByBit(a, b, bytes))
                << variant.name << ", " << bytes << " bytes";
        }
        EXPECT_EQ(variant.count(a.data(), a.data(), kBytes), 0u) << variant.name;
        EXPECT_EQ(variant.count(a.data(), inverse.data(), kBytes), kBytes * 8) << variant.name;
    }
    EXPECT_EQ(bit_count::CountDifferentBits(a.data(), b.data(), kBytes),
              CountBitByBit(a, b, kBytes));
}

}  // namespace
