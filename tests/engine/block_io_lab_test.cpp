// Opening a drive and moving blocks through the completion port, against lab
// drives that misbehave in the ways real drives do.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/aligned_buffer.h"
#include "engine/block_io.h"
#include "engine/drive_open.h"
#include "engine/loop_support.h"
#include "engine/test_context.h"
#include "tests/support/lab_bench_scope.h"
#include "text/operator_output.h"

namespace {

std::string Bench(const std::string& extra) {
    return BenchJson({BenchDriveJson(1, "kvt", "Lab Block IO", "BIO1", "1.0", extra)});
}

// Opens `driveNumber`; returns the failure message, or "" when it opened.
std::string Open(CSSDTest& test, std::uint32_t driveNumber = 1, std::string* printed = nullptr) {
    test.driveNumber = driveNumber;
    const OutputCapture output;
    std::string failure;
    try {
        OpenDrive(test, test);
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (printed != nullptr) *printed = output.Text();
    return failure;
}

// Moves block `mib` once; returns the failure message, if any.
std::string TransferBlock(CSSDTest& test, int mib, bool isRead) {
    BlockBuffer buffer;
    IoRequest request{};
    request.offset = static_cast<std::int64_t>(mib) * kBlockBytes;
    request.length = kBlockBytes;
    request.isRead = isRead;
    request.buffer = buffer.data();
    try {
        SubmitIo(*test.drive, request);
        IoRequest& done = WaitIo(*test.drive, test.timings.completionWaitMs, nullptr);
        EXPECT_EQ(&done, &request);
        EXPECT_GE(done.completeTicks, done.submitTicks);
    } catch (const std::exception& failure) {
        return failure.what();
    }
    return "";
}

TEST(OpenDrive, ReportsPathSizeAndPartitionsAndRefusesPartitionedDrives) {
    LabBenchScope bench(Bench("\"partitions\": 1"));
    CSSDTest test;
    std::string printed;
    EXPECT_EQ(Open(test, 1, &printed), "Drive contains partitions");
    EXPECT_NE(printed.find(" Open OK\nSize = 0.00104858[GB]\nPartition Num = 1\n"),
              std::string::npos)
        << printed;
    EXPECT_EQ(test.driveSize, 1048576);
}

TEST(OpenDrive, NamesTheStepThatFailed) {
    const std::vector<std::pair<std::string, std::string>> faults = {
        {"open_fails", "CreateFile failed"},
        {"geometry_fails", "IOCTL_DISK_GET_DRIVE_GEOMETRY_EX failed"},
        {"layout_fails", "DRIVE_LAYOUT_INFORMATION failed"},
    };
    for (const auto& [fault, message] : faults) {
        LabBenchScope bench(Bench("\"faults\": {\"" + fault + "\": true}"));
        CSSDTest test;
        EXPECT_EQ(Open(test), message);
        if (fault == "layout_fails") {
            EXPECT_EQ(test.drive, nullptr) << "closed once, by the step";
        }
        CloseDrive(test);  // and again is harmless
    }
    CSSDTest test;
    EXPECT_EQ(Open(test, 7), "CreateFile failed") << "no such drive";
}

TEST(BlockIo, TransfersCompleteThroughThePortAndADriveErrorEndsTheTest) {
    struct Transfer {
        int mib;
        bool isRead;
        std::string failure;
    };
    const std::vector<std::pair<std::string, std::vector<Transfer>>> cases = {
        {"\"size_mib\": 4", {{2, false, ""}, {2, true, ""}}},
        {"\"faults\": {\"complete_at_once\": true}", {{0, false, ""}, {0, true, ""}}},
        {"\"size_mib\": 4, \"faults\": {\"io_error_at_mib\": 1}",
         {{0, false, ""},
          {1, false, "GetQueuedCompletionStatus Failed1\nWrite at 1 MiB: Input/output error"}}},
    };
    for (const auto& [extra, transfers] : cases) {
        LabBenchScope bench(Bench(extra));
        CSSDTest test;
        ASSERT_EQ(Open(test), "") << extra;
        for (const Transfer& transfer : transfers) {
            EXPECT_EQ(TransferBlock(test, transfer.mib, transfer.isRead), transfer.failure)
                << extra << " block " << transfer.mib;
        }
    }
}

TEST(BlockIo, ATransferThatNeverCompletesTimesOutAndEveryTransferInFlightIsReapedBeforeMemoryGoes) {
    LabBenchScope bench(Bench("\"size_mib\": 4, \"faults\": {\"stall_at_mib\": 2}"));
    CSSDTest test;
    test.timings.completionWaitMs = 500;
    ASSERT_EQ(Open(test), "");
    // As the loops hold them at depth 4: the stalled read and any completion
    // not yet collected are cancelled when the buffers go, without the reap's
    // own time-out (after which they would be leaked).
    auto buffers = std::make_unique<TransferBuffers>(4, 4);
    for (int block = 0; block < 4; ++block)
        buffers->Submit(test, test.timings, block * std::int64_t{kBlockBytes},
                        (*buffers)[block].data(), true);
    buffers->Complete(test, test.timings);
    const mmtimer waited;
    try {
        for (int i = 0; i < 3; ++i) buffers->Complete(test, test.timings);
        ADD_FAILURE() << "a stalled transfer completed";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(),
                     "GetQueuedCompletionStatus Failed1\nRead at 2 MiB: no answer within 0.5 s");
    }
    EXPECT_GE(waited.elapsed_seconds(), 0.45);
    const mmtimer reaping;
    buffers.reset();
    EXPECT_LT(reaping.elapsed_seconds(), 2.0);
}

}  // namespace
