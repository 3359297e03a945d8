// The drive list's lines and the choice of a drive by serial.
#include "console/drive_list.h"

#include <gtest/gtest.h>

#include "console/drive_verdict.h"
#include "engine/drive_refusal.h"
#include "tests/support/lab_bench_scope.h"

namespace {

ListedDrive Drive(std::uint32_t number, const std::string& serial, bool identified = true) {
    ListedDrive drive;
    drive.number = number;
    drive.device = L"/dev/sd" + std::wstring(1, static_cast<wchar_t>(L'a' + number));
    drive.sizeBytes = 268435456;
    drive.identified = identified;
    drive.model = "Lab 256";
    drive.serial = serial;
    drive.firmware = "KV2.10";
    return drive;
}

TEST(DriveList, LineShowsIdentitySizeAndVerdict) {
    ListedDrive drive = Drive(1, "BKV1");
    EXPECT_EQ(DriveListLine(drive),
              L"Drive #1: /dev/sdb, 268.4 MB, Lab 256, serial BKV1, firmware KV2.10: would test");
    drive.untestedReason = "kind not supported";
    EXPECT_EQ(DriveListLine(drive),
              L"Drive #1: /dev/sdb, 268.4 MB, Lab 256, serial BKV1, "
              L"firmware KV2.10: not tested: kind not supported");

    EXPECT_EQ(SizeText(999999999), "1000.0 MB");
    EXPECT_EQ(SizeText(1000000000), "1.0 GB");
    EXPECT_EQ(SizeText(2000398934016), "2.0 TB");
}

TEST(DriveList, SerialNamesExactlyOneIdentifiedDrive) {
    const std::vector<ListedDrive> drives = {Drive(0, "SYS0"), Drive(3, "KVT1"), Drive(4, "KVT1x"),
                                             Drive(5, "ENUM", false)};
    EXPECT_EQ(DriveNumberBySerial(drives, "KVT1"), 3u);
    EXPECT_THROW(DriveNumberBySerial(drives, "kvt1"), DriveRefusal);
    EXPECT_THROW(DriveNumberBySerial(drives, "ENUM"), DriveRefusal) << "IDENTIFY did not answer";
    EXPECT_THROW(DriveNumberBySerial({Drive(1, "TWIN"), Drive(2, "TWIN")}, "TWIN"), DriveRefusal);
}

TEST(DriveVerdict, OnlyAnAnsweringDriveOfTheSupportedKindWouldBeTested) {
    const auto kvt = [](int number, const std::string& fault) {
        return BenchDriveJson(number, "kvt", "KV", "KV" + std::to_string(number), "1",
                              fault.empty() ? "" : "\"faults\": {\"" + fault + "\": true}");
    };
    LabBenchScope bench(BenchJson({kvt(1, ""), BenchDriveJson(2, "rzb", "RZ", "RZ2", "1"),
                                   kvt(3, "smart_fails"), kvt(4, "identify_fails")}));
    EXPECT_EQ(UntestedReason(1), "");
    EXPECT_EQ(UntestedReason(2), "kind not supported");
    EXPECT_EQ(UntestedReason(3), "SMART not answering");
    EXPECT_EQ(UntestedReason(4), "IDENTIFY not answering");
    EXPECT_EQ(UntestedReason(9), "SMART not answering") << "no such drive";
}

}  // namespace
