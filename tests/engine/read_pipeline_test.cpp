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
    BlockErrors Verify(const std::uint8_t* data, std::int64_t offsetBytes) override {
        const bool uniform =
            std::all_of(data, data + kBlockBytes, [&](auto b) { return b == *data; });
        checks.push_back({offsetBytes, uniform ? *data : -1, false});
        return {0, 0};
    }
    BlockErrors VerifyAndClear(std::uint8_t* data, std::int64_t offsetBytes) override {
        BlockVerifier::VerifyAndClear(data, offsetBytes);
        checks.back().cleared =
            std::all_of(data, data + kBlockBytes, [](auto b) { return b == 0; });
        return {0, 0};
    }
    std::vector<Check> checks;
};

bool operator<(const Check& a, const Check& b) { return a.offsetBytes < b.offsetBytes; }
bool operator==(const Check& a, const Check& b) {
    return a.offsetBytes == b.offsetBytes && a.content == b.content && a.cleared == b.cleared;
}

TEST(ReadPipeline, VerifiesEachBlockOnceWithItsOffsetAndABatchOnlyItsOwnBlocksAtAnyDepth) {
    LabBenchScope bench(BenchJson({BenchDriveJson(
        1, "kvt", "Pipeline", "RP1", "1.0",
        R"("size_mib": 8, "rber_start": 0, "rber_rated": 0, "rber_max": 0, "seed": 1)")}));
    CSSDTest test;
    test.driveNumber = 1;
    {
        const OutputCapture quiet;
        OpenDrive(test, test);
    }
    {
        TransferBuffers writer(1);
        for (std::uint8_t block = 0; block < 8; ++block) {
            std::fill(writer[0].data(), writer[0].data() + kBlockBytes, block + 1);
            writer.Submit(test, test.timings, std::int64_t{block} * kBlockBytes, writer[0].data(),
                          false);
            writer.Complete(test, test.timings);
        }
    }

    for (std::uint32_t depth : {1u, 3u}) {
        TransferBuffers buffers(static_cast<int>(depth) + 2, depth);
        RecordingVerifier verifier;
        ReadPipeline reads(test, test.timings, buffers, 1, verifier);
        for (std::int64_t block : {0, 1, 2, 3, 4}) reads.Read(block * kBlockBytes);
        const std::size_t verifiedEarly = verifier.checks.size();
        reads.Finish();
        reads.Read(7 * kBlockBytes);
        reads.Finish();
        reads.Finish();
        EXPECT_EQ(verifiedEarly, 5 - depth) << "verified while the next reads are in flight";
        std::sort(verifier.checks.begin(), verifier.checks.end());
        const std::vector<Check> expected = {{0, 1, true},
                                             {kBlockBytes, 2, true},
                                             {2 * kBlockBytes, 3, true},
                                             {3 * kBlockBytes, 4, true},
                                             {4 * kBlockBytes, 5, true},
                                             {7 * kBlockBytes, 8, true}};
        EXPECT_TRUE(verifier.checks == expected) << depth;
        EXPECT_EQ(buffers[0].data()[0], 0) << "the buffer before the pipeline's is never read into";
    }
}

}  // namespace
