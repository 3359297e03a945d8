#include "engine/bit_count.h"

#include <immintrin.h>

#include <cstring>

// The builds target x86 CPUs of any age (the 32-bit Windows build runs on CPUs
// without a popcount instruction), so each counting loop is compiled for its
// instruction set on its own and picked by a CPU check on first use.
namespace bit_count {
namespace {

std::uint64_t Load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// Bit count of a word without a popcount instruction: sums of 2, 4, 8 bits.
std::uint64_t PortableWordCount(std::uint64_t x) {
    x = x - ((x >> 1) & 0x5555555555555555ull);
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0full;
    return (x * 0x0101010101010101ull) >> 56;
}

std::uint64_t CountPortable(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < bytes; i += 8)
        bits += PortableWordCount(Load64(a + i) ^ Load64(b + i));
    return bits;
}

__attribute__((target("popcnt"))) std::uint64_t CountPopcnt(const std::uint8_t* a,
                                                            const std::uint8_t* b,
                                                            std::size_t bytes) {
    // Four sums, so the additions do not wait on each other.
    std::uint64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    for (std::size_t i = 0; i < bytes; i += 32) {
        s0 += static_cast<std::uint64_t>(__builtin_popcountll(Load64(a + i) ^ Load64(b + i)));
        s1 +=
            static_cast<std::uint64_t>(__builtin_popcountll(Load64(a + i + 8) ^ Load64(b + i + 8)));
        s2 += static_cast<std::uint64_t>(
            __builtin_popcountll(Load64(a + i + 16) ^ Load64(b + i + 16)));
        s3 += static_cast<std::uint64_t>(
            __builtin_popcountll(Load64(a + i + 24) ^ Load64(b + i + 24)));
    }
    return s0 + s1 + s2 + s3;
}

// 32 bytes at a time: each nibble's count looked up in a table, byte counts
// summed into four 64-bit lanes.
__attribute__((target("avx2"))) std::uint64_t CountAvx2(const std::uint8_t* a,
                                                        const std::uint8_t* b, std::size_t bytes) {
    const __m256i table = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0, 1, 1,
                                           2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
    const __m256i low = _mm256_set1_epi8(0x0f);
    __m256i sums = _mm256_setzero_si256();
    for (std::size_t i = 0; i < bytes; i += 32) {
        const __m256i x =
            _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i)),
                             _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i)));
        const __m256i counts = _mm256_add_epi8(
            _mm256_shuffle_epi8(table, _mm256_and_si256(x, low)),
            _mm256_shuffle_epi8(table, _mm256_and_si256(_mm256_srli_epi16(x, 4), low)));
        sums = _mm256_add_epi64(sums, _mm256_sad_epu8(counts, _mm256_setzero_si256()));
    }
    // Unaligned store: the Windows x86-64 build cannot align its stack to 32.
    std::uint64_t lanes[4];
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes), sums);
    return lanes[0] + lanes[1] + lanes[2] + lanes[3];
}

__attribute__((target("avx512f,avx512vpopcntdq"))) std::uint64_t CountAvx512(const std::uint8_t* a,
                                                                             const std::uint8_t* b,
                                                                             std::size_t bytes) {
    __m512i sums = _mm512_setzero_si512();
    for (std::size_t i = 0; i < bytes; i += 64) {
        const __m512i x = _mm512_xor_si512(_mm512_loadu_si512(a + i), _mm512_loadu_si512(b + i));
        sums = _mm512_add_epi64(sums, _mm512_popcnt_epi64(x));
    }
    std::uint64_t lanes[8];
    _mm512_storeu_si512(lanes, sums);
    return lanes[0] + lanes[1] + lanes[2] + lanes[3] + lanes[4] + lanes[5] + lanes[6] + lanes[7];
}

std::vector<Variant> DetectVariants() {
    __builtin_cpu_init();
    return {
        {"portable", &CountPortable, true},
        {"popcnt", &CountPopcnt, __builtin_cpu_supports("popcnt") != 0},
        {"avx2", &CountAvx2, __builtin_cpu_supports("avx2") != 0},
        {"avx512-vpopcntq", &CountAvx512,
         __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vpopcntdq")},
    };
}

XorCountFunction Fastest() {
    XorCountFunction best = nullptr;
    for (const Variant& variant : Variants())
        if (variant.supported) best = variant.count;  // listed from slowest to fastest
    return best;
}

}  // namespace

const std::vector<Variant>& Variants() {
    static const std::vector<Variant> variants = DetectVariants();
    return variants;
}

std::uint64_t CountDifferentBits(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
    static const XorCountFunction count = Fastest();
    return count(a, b, bytes);
}

}  // namespace bit_count
