// The verifying read pipeline on a lab drive whose blocks hold their numbers.
#include "engine/read_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/drive_open.h"
#include "tests/support/lab_bench_scope.h"
#include "text/operator_output.h"

namespace {

struct Check {
    std::int64_t offsetBytes;
    int content;   // the byte the block is filled with, -1 when mixed
    bool cleared;  // zero-filled after the check
};

class RecordingVerifier : public BlockVerifier {
public:
    void Verify(const std::uint8_t* data, std::int64_t offsetBytes) override {
        const bool uniform =
            std::all_of(data, data + kBlockBytes, [&](auto b) { return b == *data; });
        checks.push_back({offsetBytes, uniform ? *data : -1, false});
    }
    void VerifyAndClear(std::uint8_t* data, std::int64_t offsetBytes) override {
        BlockVerifier::VerifyAndClear(data, offsetBytes);
        checks.back().cleared =
            std::all_of(data, data + kBlockBytes, [](auto b) { return b == 0; });
    }
    std::vector<Check> checks;
};

bool operator==(const Check& a, const Check& b) {
    return a.offsetBytes == b.offsetBytes && a.content == b.content && a.cleared == b.cleared;
}

TEST(ReadPipeline, VerifiesEachBlockWithItsOffsetAndABatchOnlyItsOwnBlocks) {
    LabBenchScope bench(BenchJson({BenchDriveJson(
        1, "kvt", "Pipeline", "RP1", "1.0",
        R"("size_mib": 4, "rber_start": 0, "rber_rated": 0, "rber_max": 0, "seed": 1)")}));
    CSSDTest test;
    test.driveNumber = 1;
    {
        const OutputCapture quiet;
        OpenDrive(test);
    }

    TransferBuffers buffers(3, 2);
    IoRequest& write = buffers.Request(1);
    write = IoRequest{{}, 0, 0, 0, kBlockBytes, false, buffers[2].data()};
    for (std::uint8_t block = 0; block < 4; ++block) {
        std::fill(buffers[2].data(), buffers[2].data() + kBlockBytes, block + 1);
        write.offset = std::int64_t{block} * kBlockBytes;
        buffers.Submit(test, write);
        buffers.Complete(test);
    }

    RecordingVerifier verifier;
    ReadPipeline reads(test, buffers, 0, 1, buffers.Request(0), verifier);
    for (std::int64_t block : {0, 1, 2}) reads.Read(block * kBlockBytes);
    reads.Finish();
    reads.Read(3 * kBlockBytes);
    reads.Finish();
    reads.Finish();
    const std::vector<Check> expected = {{0, 1, true},
                                         {kBlockBytes, 2, true},
                                         {2 * kBlockBytes, 3, false},
                                         {3 * kBlockBytes, 4, false}};
    EXPECT_TRUE(verifier.checks == expected);
}

}  // namespace
