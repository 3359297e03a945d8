// The drive registry against lab drives: probing, binding, refreshing, and the
// process's registry built once.
#include "smart/drive_registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "status/ckvt_status.h"
#include "status/crzb_status.h"
#include "tests/smart/lab_bench_scope.h"
#include "tests/smart/trace_capture.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kPlainDrive = BenchDriveJson(0, "plain", "System Disk", "SYS0", "S1.0");
const std::string kKvtDrive = BenchDriveJson(1, "kvt", "KV Lab 0256", "KV00042", "KV2.10");
const std::string kRzbDrive = BenchDriveJson(2, "rzb", "RZ412 Lab", "RZ0007", "RZ3.01");

std::string KvtWithFault(const std::string& fault) {
    return BenchDriveJson(1, "kvt", "KV Lab 0256", "KV00042", "KV2.10",
                          "\"faults\": {\"" + fault + "\": true}");
}

platform::DiskRecord Disk(int index, std::int64_t sizeBytes = 1 << 20) {
    platform::DiskRecord disk;
    disk.Index = index;
    disk.Size = sizeBytes;
    return disk;
}

}  // namespace

TEST(DriveRegistryLab, MixedBenchKeepsOnlyTheSupportedDrivesEachWithItsRecord) {
    LabBenchScope bench(BenchJson({kPlainDrive, kKvtDrive, kRzbDrive}));
    CSSDSmart registry;
    TraceCapture trace;
    registry.ProbeDrive(Disk(0));
    registry.ProbeDrive(Disk(1, 3000000));
    registry.ProbeDrive(Disk(2));
    const std::string notes = "Drive #0 Init Failed.0\nDrive #1 OK. \nDrive #2 OK. \n";
    EXPECT_EQ(trace.Text(), notes);

    ASSERT_EQ(registry.StatusList.size(), 2u);
    auto* record = dynamic_cast<CKVTStatus*>(registry.StatusList[0].get());
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->DriveNumber, 1);
    EXPECT_EQ(record->Model, "KV Lab 0256");
    EXPECT_EQ(record->FirmwareRevision, "KV2.10");
    EXPECT_EQ(record->SerialNumber, "KV00042");
    EXPECT_EQ(record->DiskSize, 3000000u);
    EXPECT_TRUE(record->DateTime.is_not_a_date_time());
    auto* second = dynamic_cast<CRZBStatus*>(registry.StatusList[1].get());
    ASSERT_NE(second, nullptr);
    EXPECT_GT(second->GoodBlockCount, 0u);
    EXPECT_GT(second->SystemBlockCount, 0u);

    registry.RefreshAll();
    EXPECT_FALSE(record->DateTime.is_not_a_date_time());
    EXPECT_GT(record->MaximumPECountSpecification, 0u);  // decoded from the drive's page
    EXPECT_EQ(trace.Text(), notes);
}

TEST(DriveRegistryLab, DriveNeedingSmartEnabledIsStillRecognised) {
    LabBenchScope bench(BenchJson({KvtWithFault("smart_needs_enable")}));
    CSSDSmart registry;
    TraceCapture trace;
    registry.ProbeDrive(Disk(1));
    EXPECT_EQ(trace.Lines(),
              (Lines{"Drive #1 GetSmartCmdOutParam Failed : dwReturned=16", "OK. "}));
    EXPECT_EQ(registry.StatusList.size(), 1u);
}

TEST(DriveRegistryLab, FailedReadOrBindingKeepsNoRecord) {
    LabBenchScope bench(BenchJson({KvtWithFault("missing")}));
    CSSDSmart registry;
    {
        TraceCapture trace;
        registry.ProbeDrive(Disk(1));
        EXPECT_EQ(trace.Lines(), (Lines{"Drive #1 GetIoCtrlHandle Failed!", "Retry Failed.",
                                        "GetSmartReadData Failed."}));
    }
    bench.Rewrite(BenchJson({KvtWithFault("identify_fails")}));
    {
        TraceCapture trace;
        registry.ProbeDrive(Disk(1));
        EXPECT_EQ(trace.Text(), "Drive #1 Init Failed.1\n");
    }
    EXPECT_TRUE(registry.StatusList.empty());
}

TEST(DriveRegistryLab, RefreshOfAnUnreadableDriveChangesNothing) {
    LabBenchScope bench(BenchJson({kKvtDrive}));
    CKVTStatus record;
    ASSERT_TRUE(record.Init(Disk(1)));
    record.Refresh();
    ASSERT_FALSE(record.DateTime.is_not_a_date_time());
    const CKVTStatus before = record;

    bench.Rewrite(BenchJson({KvtWithFault("missing")}));
    TraceCapture trace;
    record.Refresh();
    EXPECT_EQ(record.DateTime, before.DateTime);
    EXPECT_EQ(record.GetCSVRow(), before.GetCSVRow());
    EXPECT_EQ(record.OtherAttributes, before.OtherAttributes);
    EXPECT_EQ(trace.Lines(), (Lines{"GetIoCtrlHandle Failed!", "Retry Failed."}));
}

// The process's registry and disk list are built once per process, so these
// scenarios run in a fresh process of their own.
namespace {

// Runs a scenario that returns its mismatches, reports them on the error
// stream and ends the process: success only when there were none. The
// scenario's bench folder is gone by then.
[[noreturn]] void RunScenario(std::string (*scenario)()) {
    const std::string mismatches = scenario();
    std::cerr << mismatches;
    std::exit(mismatches.empty() ? 0 : 1);
}

std::string BuildsOnceFromTheDiskList() {
    std::ostringstream mismatches;
    LabBenchScope bench(BenchJson({kPlainDrive, kKvtDrive}));
    CSSDSmart* first = nullptr;
    {
        TraceCapture trace;
        first = &GetSSDSmart();
        // Per disk its note, then the empty note that ends the build.
        if (trace.Text() != "Drive #0 Init Failed.0\nDrive #1 OK. \n\n")
            mismatches << "build trace: [" << trace.Text() << "]\n";
    }
    if (first->DiskList.size() != 2) mismatches << "disk list size\n";
    if (first->StatusList.size() != 1 ||
        dynamic_cast<CKVTStatus*>(first->StatusList[0].get()) == nullptr ||
        first->StatusList[0]->DriveNumber != 1 ||
        first->StatusList[0]->DateTime.is_not_a_date_time()) {
        mismatches << "status list\n";
    }

    // With every drive gone, any SMART read would leave notes behind.
    bench.Rewrite(BenchJson({KvtWithFault("missing")}));
    TraceCapture trace;
    if (&GetSSDSmart() != first) mismatches << "second call built a new registry\n";
    if (!trace.Text().empty()) mismatches << "second call read SMART: [" << trace.Text() << "]\n";
    return mismatches.str();
}

std::string FailedDiskListLeavesTheRegistryEmpty() {
    std::ostringstream mismatches;
    LabBenchScope bench("this is not a bench");
    TraceCapture trace;
    CSSDSmart& registry = GetSSDSmart();
    if (trace.Text() != "InitWmi failed!\n\n") mismatches << "trace: [" << trace.Text() << "]\n";
    if (!registry.StatusList.empty() || !registry.DiskList.empty()) mismatches << "not empty\n";
    return mismatches.str();
}

}  // namespace

TEST(DriveRegistryProcess, BuildsOnceFromTheDiskList) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RunScenario(BuildsOnceFromTheDiskList), testing::ExitedWithCode(0), "");
}

TEST(DriveRegistryProcess, FailedDiskListLeavesTheRegistryEmpty) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RunScenario(FailedDiskListLeavesTheRegistryEmpty), testing::ExitedWithCode(0), "");
}
