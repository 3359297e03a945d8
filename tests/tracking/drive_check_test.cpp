// Finding the chosen drive in the registry and following its status.
#include "tracking/drive_check.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "smart/drive_registry.h"
#include "status/crzb_status.h"
#include "tests/support/lab_bench_scope.h"

namespace {

std::unique_ptr<CSSDStatus> KvtRecord(int driveNumber, std::int32_t averageEraseCount) {
    auto record = std::make_unique<CKVTStatus>();
    record->DriveNumber = driveNumber;
    record->Model = "KVT " + std::to_string(driveNumber);
    record->AverageEraseCount = averageEraseCount;
    record->TotalErrorBitsFromFlash = 1000000;
    record->TotalReadSectors = 1000000000;
    record->OtherAttributes[210] = 7;
    return record;
}

std::unique_ptr<CSSDStatus> RzbRecord(int driveNumber) {
    auto record = std::make_unique<CRZBStatus>();
    record->DriveNumber = driveNumber;
    return record;
}

// CheckDrive's failure message against `registry`, or "" when it passed.
std::string Check(std::uint32_t driveNumber, const CSSDSmart& registry) {
    CSSDTest test;
    test.driveNumber = driveNumber;
    try {
        CheckDrive(test, registry);
    } catch (const std::exception& failure) {
        return failure.what();
    }
    return "";
}

// The lab bench holds no drive: every SMART read of a snapshot fails.
TEST(CheckDrive, FindsTheFirstRecordOfTheDriveAndRequiresTheSupportedKind) {
    LabBenchScope bench(R"({ "drives": [] })");
    CSSDSmart registry;
    auto& list = registry.StatusList;
    EXPECT_EQ(Check(0, registry), "Drive Not Found");

    list.push_back(KvtRecord(0, 1));
    list.push_back(KvtRecord(2, 1));
    EXPECT_EQ(Check(3, registry), "Drive Not Found");

    list.clear();
    list.push_back(RzbRecord(2));
    list.push_back(RzbRecord(1));
    list.push_back(KvtRecord(1, 5));  // a later record with the same number
    EXPECT_EQ(Check(2, registry), "Drive Not KVT");
    EXPECT_EQ(Check(1, registry), "Drive Not KVT");

    list.clear();
    list.push_back(KvtRecord(0, 3));
    list.push_back(KvtRecord(1, 9));
    list.push_back(RzbRecord(1));
    const std::string registryRow = list[1]->GetCSVRow();
    CSSDTest test;
    test.driveNumber = 1;
    CheckDrive(test, registry);
    EXPECT_EQ(test.currentStatus->AverageEraseCount, 9);
    EXPECT_EQ(test.currentStatus->Model, "KVT 1");
    EXPECT_EQ(test.currentStatus->GetCSVRow(), registryRow);
    EXPECT_EQ(test.previousStatus->GetCSVRow(), registryRow);
    EXPECT_EQ(dynamic_cast<const CKVTStatus&>(*test.previousStatus).OtherAttributes,
              dynamic_cast<const CKVTStatus&>(*test.currentStatus).OtherAttributes);

    // The drive is gone from the bench: the refresh changes nothing, yet the
    // rate is computed from the snapshot's counters.
    EXPECT_FALSE(UpdateDriveStatus(test, test, test.driveNumber));
    EXPECT_EQ(test.calculatedRber, 2.44140625e-7);
    EXPECT_EQ(test.currentStatus->GetCSVRow(), registryRow);
    EXPECT_EQ(test.previousStatus->GetCSVRow(), registryRow);
    EXPECT_EQ(list[1]->GetCSVRow(), registryRow);
}

TEST(UpdateDriveStatus, FollowsALabDriveAndReportsWearAsAChange) {
    LabBenchScope bench(
        BenchJson({BenchDriveJson(1, "kvt", "KVT Lab", "SN1", "1.0", "\"initial_aec\": 5")}));
    CSSDTest test;
    test.currentStatus->DriveNumber = 1;
    EXPECT_TRUE(UpdateDriveStatus(test, test, test.driveNumber))
        << "first reading differs from the empty snapshot";
    EXPECT_FALSE(test.currentStatus->DateTime.is_not_a_date_time());
    EXPECT_EQ(test.currentStatus->AverageEraseCount, 5);
    EXPECT_FALSE(UpdateDriveStatus(test, test, test.driveNumber))
        << "an idle drive's wear does not move";
    EXPECT_EQ(test.previousStatus->AverageEraseCount, test.currentStatus->AverageEraseCount);
}

}  // namespace
