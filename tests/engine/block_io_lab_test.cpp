// Opening a drive and moving blocks through the completion port, against lab
// drives that misbehave in the ways real drives do.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "../smart/lab_bench_scope.h"
#include "engine/aligned_buffer.h"
#include "engine/block_io.h"
#include "engine/ssd_test.h"

namespace {

std::string Bench(const std::string& extra) {
    return "{\"drives\": [" + BenchDriveJson(1, "kvt", "Lab Block IO", "BIO1", "1.0", extra) + "]}";
}

std::string FailureOf(void (*step)(CSSDTest&), CSSDTest& test) {
    try {
        step(test);
    } catch (const std::exception& failure) {
        return failure.what();
    }
    return "";
}

void OpenDriveOne(CSSDTest& test) {
    test.driveNumber = 1;
    OpenDrive(test);
}

// Writes then reads block `mib` once; returns the failure message, if any.
std::string TransferBlock(CSSDTest& test, int mib, bool isRead) {
    BlockBuffer buffer;
    IoRequest request{};
    request.offset = static_cast<std::int64_t>(mib) * kBlockBytes;
    request.length = kBlockBytes;
    request.isRead = isRead;
    request.buffer = buffer.data();
    try {
        SubmitIo(test, request);
        IoRequest& done = WaitIo(test);
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
    testing::internal::CaptureStdout();
    const std::string failure = FailureOf(OpenDriveOne, test);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(failure, "Drive contains partitions");
    EXPECT_NE(printed.find(" Open OK\nSize = 0.00104858[GB]\nPartition Num = 1\n"),
              std::string::npos)
        << printed;
    EXPECT_EQ(test.driveSize, 1048576);
}

TEST(OpenDrive, NamesTheStepThatFailed) {
    {
        LabBenchScope bench(Bench("\"faults\": {\"open_fails\": true}"));
        CSSDTest test;
        EXPECT_EQ(FailureOf(OpenDriveOne, test), "CreateFile failed");
        test.driveNumber = 7;  // no such drive
        EXPECT_EQ(FailureOf(OpenDrive, test), "CreateFile failed");
    }
    {
        LabBenchScope bench(Bench("\"faults\": {\"geometry_fails\": true}"));
        CSSDTest test;
        EXPECT_EQ(FailureOf(OpenDriveOne, test), "IOCTL_DISK_GET_DRIVE_GEOMETRY_EX failed");
    }
    {
        LabBenchScope bench(Bench("\"faults\": {\"layout_fails\": true}"));
        CSSDTest test;
        EXPECT_EQ(FailureOf(OpenDriveOne, test), "DRIVE_LAYOUT_INFORMATION failed");
        EXPECT_EQ(test.driveHandle, nullptr);  // closed once, by the failing step
        CloseDrive(test);                      // and again is harmless
    }
}

TEST(BlockIo, TransfersCompleteThroughThePort) {
    LabBenchScope bench(Bench("\"size_mib\": 4"));
    CSSDTest test;
    testing::internal::CaptureStdout();
    OpenDriveOne(test);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(TransferBlock(test, 2, false), "");
    EXPECT_EQ(TransferBlock(test, 2, true), "");
}

TEST(BlockIo, ATransferThatFinishesAtOnceIsCollectedLikeAnyOther) {
    LabBenchScope bench(Bench("\"faults\": {\"complete_at_once\": true}"));
    CSSDTest test;
    testing::internal::CaptureStdout();
    OpenDriveOne(test);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(TransferBlock(test, 0, false), "");
    EXPECT_EQ(TransferBlock(test, 0, true), "");
}

TEST(BlockIo, ADriveErrorEndsTheTest) {
    LabBenchScope bench(Bench("\"size_mib\": 4, \"faults\": {\"io_error_at_mib\": 1}"));
    CSSDTest test;
    testing::internal::CaptureStdout();
    OpenDriveOne(test);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(TransferBlock(test, 0, false), "");
    EXPECT_EQ(TransferBlock(test, 1, false), "GetQueuedCompletionStatus Failed1");
}

TEST(BlockIo, ATransferThatNeverCompletesTimesOutAfterTenSeconds) {
    LabBenchScope bench(Bench("\"size_mib\": 4, \"faults\": {\"stall_at_mib\": 2}"));
    CSSDTest test;
    testing::internal::CaptureStdout();
    OpenDriveOne(test);
    testing::internal::GetCapturedStdout();
    const mmtimer waited;
    EXPECT_EQ(TransferBlock(test, 2, true), "GetQueuedCompletionStatus Failed1");
    EXPECT_GE(waited.elapsed_seconds(), 9.5);
}

}  // namespace
