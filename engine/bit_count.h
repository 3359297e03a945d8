// Counting the bits in which two memory ranges differ, with the widest
// population count the CPU offers, chosen once at run time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bit_count {

/// Bits in which a[0..bytes) and b[0..bytes) differ; `bytes` is a multiple of 64.
using XorCountFunction = std::uint64_t (*)(const std::uint8_t* a, const std::uint8_t* b,
                                           std::size_t bytes);

struct Variant {
    const char* name;
    XorCountFunction count;
    bool supported;  ///< this CPU runs it
};

/// Every variant built in, the portable one first, with whether this CPU runs it.
const std::vector<Variant>& Variants();

/// Bits in which the two ranges differ, counted by the fastest variant this
/// CPU runs; `bytes` is a multiple of 64.
std::uint64_t CountDifferentBits(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes);

}  // namespace bit_count
