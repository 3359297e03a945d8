// Measures the engine's per-block work, which runs while the drive reads the
// next block: pattern generation, verification of an intact block (the normal
// case) and the counting pass over a damaged one. Each must stay well above
// the speed of any drive, so the drive is always the bottleneck.
// Usage: verify_throughput [blocks (default 2048)]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>

#include "engine/aligned_buffer.h"
#include "engine/pattern.h"
#include "engine/ssd_test.h"

namespace {

template <typename Work>
double MegabytesPerSecond(int blocks, Work work) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < blocks; ++i) work();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return static_cast<double>(blocks) * kBlockBytes / 1e6 / took.count();
}

}  // namespace

int main(int argc, char** argv) {
    const int blocks = argc > 1 ? std::atoi(argv[1]) : 2048;
    CSSDTest test;
    BlockBuffer pattern;
    BlockBuffer data;

    const double fill = MegabytesPerSecond(blocks, [&] { FillPattern(test, pattern.words()); });
    std::memcpy(data.data(), pattern.data(), kBlockBytes);
    const double intact =
        MegabytesPerSecond(blocks, [&] { VerifyBlock(test, data.data(), pattern.data()); });

    // A worn block: one flipped bit in every sector, so every sector is counted.
    for (std::uint32_t at = 0; at < kBlockBytes; at += 512) data.data()[at + 7] ^= 0x10;
    std::ostringstream silenced;
    std::streambuf* console = std::cout.rdbuf(silenced.rdbuf());
    const double damaged =
        MegabytesPerSecond(blocks, [&] { VerifyBlock(test, data.data(), pattern.data()); });
    std::cout.rdbuf(console);

    std::printf("fill pattern          %8.0f MB/s\n", fill);
    std::printf("verify intact block   %8.0f MB/s\n", intact);
    std::printf("verify damaged block  %8.0f MB/s (2048 bad sectors per block)\n", damaged);
    std::printf("(%d blocks of 1 MiB each; counted %llu bit errors)\n", blocks,
                static_cast<unsigned long long>(test.uncorrectableBitErrors));
    return 0;
}
