// The SMART channel against lab drives: reads, the enable-and-retry recovery,
// rejected and missing drives, and the IDENTIFY texts.
#include "smart/smart_channel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "smart/drive_registry.h"
#include "tests/smart/lab_bench_scope.h"
#include "tests/smart/trace_capture.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kKvtDrive = BenchDriveJson(1, "kvt", "KV Lab 0256", "  KV00042", "KV2.10");

std::string KvtWithFault(const std::string& fault) {
    return BenchDriveJson(1, "kvt", "KV Lab 0256", "KV00042", "KV2.10",
                          "\"faults\": {\"" + fault + "\": true}");
}

bool AllZero(const SmartDataBlock& block) {
    return std::all_of(block.page.begin(), block.page.end(), [](auto b) { return b == 0; }) &&
           std::all_of(block.entries.begin(), block.entries.end(),
                       [](auto e) { return e == nullptr; });
}

}  // namespace

TEST(SmartChannelLab, DriveWithSmartOffAnswersAfterOneEnable) {
    LabBenchScope bench(BenchJson({KvtWithFault("smart_needs_enable")}));
    TraceCapture trace;
    SmartDataBlock block;
    ASSERT_TRUE(GetSmartReadData(1, &block));
    EXPECT_EQ(ClassifyDrive(block), kDriveKVT);
    // The first read's note only: no "Retry Failed.".
    EXPECT_EQ(trace.Lines(), Lines{"GetSmartCmdOutParam Failed : dwReturned=16"});
}

TEST(SmartChannelLab, RejectedSmartGivesThreeNotesAndAnEmptyBlock) {
    LabBenchScope bench(BenchJson({KvtWithFault("smart_fails")}));
    TraceCapture trace;
    SmartDataBlock block;
    block.page[7] = 1;
    EXPECT_FALSE(GetSmartReadData(1, &block));
    EXPECT_TRUE(AllZero(block));
    EXPECT_EQ(trace.Lines(), (Lines{"GetSmartCmdOutParam Failed : dwReturned=16",
                                    "EnableSmart Failed!", "Retry Failed."}));
}

TEST(SmartChannelLab, MissingDriveGivesOpenFailureThenRetryFailed) {
    // Drive 1 is listed but missing; drive 7 is not on the bench at all.
    LabBenchScope bench(BenchJson({KvtWithFault("missing")}));
    for (platform::DriveNumber number : {1u, 7u}) {
        TraceCapture trace;
        SmartDataBlock block;
        EXPECT_FALSE(GetSmartReadData(number, &block)) << number;
        EXPECT_TRUE(AllZero(block));
        EXPECT_EQ(trace.Lines(), (Lines{"GetIoCtrlHandle Failed!", "Retry Failed."})) << number;
    }
}

TEST(SmartChannelLab, ReadsThePageAndIdentifyTextsWithoutNotes) {
    LabBenchScope bench(BenchJson({kKvtDrive}));
    TraceCapture trace;
    SmartDataBlock block;
    ASSERT_TRUE(GetSmartReadData(1, &block));
    EXPECT_EQ(ClassifyDrive(block), kDriveKVT);
    EXPECT_NE(block.page[0] | block.page[1], 0);  // data structure revision
    EXPECT_TRUE(EnableSmart(1));

    std::uint8_t page[512];
    DriveIdentity identity;
    ASSERT_TRUE(GetIdentifyData(1, page, &identity));
    EXPECT_EQ(identity.model, "KV Lab 0256");
    EXPECT_EQ(identity.firmware, "KV2.10");
    EXPECT_EQ(identity.serial, "KV00042");  // leading spaces dropped
    EXPECT_EQ(trace.Text(), "");

    // Without an identity the page is handed on as the drive sent it: the first
    // character of the model sits in the high byte of word 27.
    ASSERT_TRUE(GetIdentifyData(1, page, nullptr));
    EXPECT_EQ(page[55], 'K');
    EXPECT_EQ(page[54], 'V');
}

TEST(SmartChannelLab, FailedIdentifyLeavesEmptyTextsAndNoNote) {
    LabBenchScope bench(BenchJson(
        {KvtWithFault("identify_fails"),
         BenchDriveJson(2, "kvt", "Gone", "G1", "G1", "\"faults\": {\"missing\": true}")}));
    TraceCapture trace;
    for (platform::DriveNumber number : {1u, 2u}) {
        std::uint8_t page[512];
        std::fill(std::begin(page), std::end(page), 0xEE);
        DriveIdentity identity;
        identity.model = "old model";
        identity.firmware = "old fw";
        identity.serial = "old serial";
        EXPECT_FALSE(GetIdentifyData(number, page, &identity)) << number;
        EXPECT_TRUE(std::all_of(std::begin(page), std::end(page), [](auto b) { return b == 0; }));
        EXPECT_EQ(identity.model, "");
        EXPECT_EQ(identity.firmware, "");
        EXPECT_EQ(identity.serial, "");
    }
    EXPECT_FALSE(EnableSmart(2));
    EXPECT_EQ(trace.Text(), "");
}
