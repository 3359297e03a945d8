// Micro-benchmarks of the engine's per-block work and of a lab drive: each
// must stay far faster than any drive, so the drive is always the
// bottleneck. Run by hand for figures; the test suite runs them once briefly.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "engine/aligned_buffer.h"
#include "engine/bit_count.h"
#include "engine/pattern.h"
#include "engine/test_context.h"
#include "platform/drive.h"
#include "status/ckvt_status.h"
#include "tracking/result_log.h"

namespace {

// Two blocks: a pattern and a copy of it to be damaged.
struct Blocks {
    CSSDTest test;
    BlockBuffer pattern;
    BlockBuffer data;
    Blocks() {
        FillPattern(test, pattern.words());
        std::memcpy(data.data(), pattern.data(), kBlockBytes);
    }
};

void SetBlockBytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kBlockBytes);
}

void VerifyBlockIntact(benchmark::State& state) {
    Blocks blocks;
    for (auto _ : state) VerifyBlock(blocks.test, blocks.data.data(), blocks.pattern.data());
    SetBlockBytes(state);
}
BENCHMARK(VerifyBlockIntact);

// The read loop's work per block: verify, then clear for the next transfer.
void VerifyAndClearBlockIntact(benchmark::State& state) {
    Blocks blocks;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(blocks.data.data(), blocks.pattern.data(), kBlockBytes);
        state.ResumeTiming();
        VerifyAndClearBlock(blocks.test, blocks.data.data(), blocks.pattern.data());
    }
    SetBlockBytes(state);
}
BENCHMARK(VerifyAndClearBlockIntact);

void CountBitErrorsDamaged(benchmark::State& state) {
    Blocks blocks;
    FillPattern(blocks.test, blocks.data.words());  // another pattern: every sector differs
    for (auto _ : state)
        benchmark::DoNotOptimize(CountBitErrors(blocks.data.data(), blocks.pattern.data()));
    SetBlockBytes(state);
}
BENCHMARK(CountBitErrorsDamaged);

void CountBitErrorsFewFlips(benchmark::State& state) {
    Blocks blocks;
    for (std::uint32_t at = 1000; at < kBlockBytes; at += kBlockBytes / 8)
        blocks.data.data()[at] ^= 4;
    for (auto _ : state)
        benchmark::DoNotOptimize(CountBitErrors(blocks.data.data(), blocks.pattern.data()));
    SetBlockBytes(state);
}
BENCHMARK(CountBitErrorsFewFlips);

// Each population count this CPU runs, over a fully damaged block.
void CountDifferentBitsVariant(benchmark::State& state) {
    const bit_count::Variant& variant =
        bit_count::Variants()[static_cast<std::size_t>(state.range(0))];
    state.SetLabel(variant.name);
    if (!variant.supported) {
        state.SkipWithError("not supported by this CPU");
        return;
    }
    Blocks blocks;
    FillPattern(blocks.test, blocks.data.words());
    for (auto _ : state)
        benchmark::DoNotOptimize(
            variant.count(blocks.data.data(), blocks.pattern.data(), kBlockBytes));
    SetBlockBytes(state);
}
BENCHMARK(CountDifferentBitsVariant)->DenseRange(0, 3);

void FillPatternBlock(benchmark::State& state) {
    Blocks blocks;
    for (auto _ : state) FillPattern(blocks.test, blocks.pattern.words());
    SetBlockBytes(state);
}
BENCHMARK(FillPatternBlock);

void UncorrectableBitErrorRateAt1e4(benchmark::State& state) {
    double p = 1e-4;
    for (auto _ : state) {
        benchmark::DoNotOptimize(p);
        benchmark::DoNotOptimize(UncorrectableBitErrorRate(8, p));
    }
}
BENCHMARK(UncorrectableBitErrorRateAt1e4);

// A lab bench in a scratch folder with one kvt drive of `sizeMib`, removed
// with its image and state when the scope ends.
class LabFolder {
public:
    explicit LabFolder(int sizeMib) {
        char pattern[] = "/var/tmp/ssdtest-bench.XXXXXX";
        if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("no scratch folder");
        folder_ = pattern;
        ::setenv("SSDLAB_DIR", folder_.c_str(), 1);
        std::ofstream(folder_ + "/ssdlab.json")
            << "{\"drives\": [{\"number\": 1, \"kind\": \"kvt\", \"size_mib\": " << sizeMib
            << ", \"model\": \"Bench Lab\", \"serial\": \"BL0001\", \"firmware\": \"B1\"}]}\n";
    }
    ~LabFolder() {
        for (const char* name : {"/lab_drive1.img", "/lab_drive1.state", "/ssdlab.json"})
            std::remove((folder_ + name).c_str());
        ::rmdir(folder_.c_str());
    }

private:
    std::string folder_;
};

void LabSmartRefresh(benchmark::State& state) {
    LabFolder lab(16);
    CKVTStatus status;
    status.DriveNumber = 1;
    for (auto _ : state) status.Refresh();
}
BENCHMARK(LabSmartRefresh)->UseRealTime();

// 1 MiB transfers, one in flight, through the raw drive service into a lab
// drive's image (argument: 0 write, 1 read) from registered transfer memory;
// timed by the clock, as the work is the drive's.
void LabThroughput(benchmark::State& state) {
    constexpr int kSizeMib = 64;
    const bool isRead = state.range(0) != 0;
    state.SetLabel(isRead ? "read" : "write");
    LabFolder lab(kSizeMib);
    std::uint32_t error = 0;
    const std::unique_ptr<platform::Drive> drive = platform::SystemDrives().Open(1, &error);
    if (drive == nullptr || drive->AttachPort() != platform::PortSetup::Ready) {
        state.SkipWithError("cannot open the lab drive");
        return;
    }
    TransferMemory memory(1);
    drive->RegisterTransferMemory(memory.data(), memory.bytes());
    std::memset(memory.data(), 0x5a, kBlockBytes);
    struct {
        platform::OverlappedSlot slot;
    } request{};
    // Reads find written blocks, not the holes of a new sparse image.
    for (std::int64_t mib = 0; isRead && mib < kSizeMib; ++mib) {
        platform::OverlappedSlot* done = nullptr;
        drive->StartTransfer(&request.slot, mib * kBlockBytes, memory.data(), kBlockBytes, false);
        drive->WaitCompletion(10000, &done);
    }
    std::int64_t block = 0;
    for (auto _ : state) {
        const auto started = drive->StartTransfer(&request.slot, block * kBlockBytes, memory.data(),
                                                  kBlockBytes, isRead);
        platform::OverlappedSlot* done = nullptr;
        if (started.status == platform::IoStart::Failed || !drive->WaitCompletion(10000, &done)) {
            state.SkipWithError("transfer failed");
            break;
        }
        block = (block + 1) % kSizeMib;
    }
    SetBlockBytes(state);
    drive->UnregisterTransferMemory();
}
BENCHMARK(LabThroughput)->Arg(0)->Arg(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
