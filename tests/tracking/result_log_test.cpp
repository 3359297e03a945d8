// The result log's name, header, data lines and the restored counters.
#include "tracking/result_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/process.h"
#include "tests/support/lab_bench_scope.h"
#include "tests/support/named_log_fixture.h"

namespace {

using test_support::ReadBytes;
using test_support::ScratchFolder;
using test_support::WriteBytes;

// A drive the bench does not hold, so refreshing the status changes nothing
// and the tests see only what the log gave.
constexpr int kAbsentDrive = 1;
const char* const kEmptyBench = R"({ "drives": [] })";

const std::string kLookupFailure = "getline unknown error";
const std::string kConversionFailure =
    "bad lexical cast: source type value could not be interpreted as target";

// A line of `count` fields whose fields 29 and 30 hold the two counters.
std::string LogLine(int count, const std::string& field29, const std::string& field30) {
    std::string line = "2010-Aug-23 14:05:09";
    for (int i = 1; i < count; ++i) {
        line += ",";
        line += i == 29 ? field29 : i == 30 ? field30 : std::to_string(i);
    }
    return line;
}

std::string ColumnLine() {
    CKVTStatus status;
    const std::string header = status.GetCSVHeader();
    return header.substr(header.find('\n') + 1) + "," + ResultHeader();
}

class RestoreErrorCountersTest : public ::testing::Test {
protected:
    void SetUp() override {
        test.currentStatus->DriveNumber = kAbsentDrive;
        test.resultLogPath = platform::JoinPath(scratch.wide(), L"log.csv");
        test.uncorrectableBitErrors = 5;
        test.sectorFailCount = 6;
    }
    std::filesystem::path LogFile() const { return scratch.path() / "log.csv"; }

    // Runs the restore and returns its failure message, or "" on success.
    std::string Restore() {
        try {
            RestoreErrorCounters(test, *test.currentStatus, test);
        } catch (const std::exception& failure) {
            return failure.what();
        }
        return "";
    }

    LabBenchScope bench{kEmptyBench};
    ScratchFolder scratch;
    CSSDTest test;
};

TEST_F(RestoreErrorCountersTest, TakesTheCountersOfTheLastLineOrZeroWithoutALog) {
    EXPECT_EQ(Restore(), "");
    EXPECT_EQ(test.uncorrectableBitErrors, 0u);
    EXPECT_EQ(test.sectorFailCount, 0u);

    struct Case {
        const char* what;
        std::string content;
        std::uint64_t errors;
        std::uint64_t sectors;
    };
    const std::string whole = LogLine(33, "7", "789");
    const std::string cutInField30 = whole.substr(0, whole.find(",789") + 3);
    const std::vector<Case> cases = {
        {"header and two lines",
         "Title\r\n" + ColumnLine() + "\r\n" + LogLine(33, "1", "2") + "\r\n" +
             LogLine(33, "18446744073709551615", "42") + "\r\n",
         18446744073709551615u, 42},
        {"a last line without its end is cut, never data",
         LogLine(33, "1", "2") + "\n" + LogLine(33, "9", "8"), 1, 2},
        {"cut inside the 30th field", LogLine(33, "5", "6") + "\r\n" + cutInField30, 5, 6},
        {"fields beyond the 31st", LogLine(40, "11", "12") + "\r\n", 11, 12},
        {"exactly 31 fields", LogLine(31, "13", "14") + "\r\n", 13, 14},
    };
    for (const Case& c : cases) {
        WriteBytes(LogFile(), c.content);
        EXPECT_EQ(Restore(), "") << c.what;
        EXPECT_EQ(test.uncorrectableBitErrors, c.errors) << c.what;
        EXPECT_EQ(test.sectorFailCount, c.sectors) << c.what;
    }
}

TEST_F(RestoreErrorCountersTest, ALastLineWithoutTwoCountersFailsAndLeavesTheLog) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", kLookupFailure},                                     // empty file
        {LogLine(33, "1", "2") + "\r\n\r\n", kLookupFailure},     // ends with an empty line
        {LogLine(30, "1", "") + "\r\n", kLookupFailure},          // 30 fields
        {LogLine(30, "1", "") + ",\r\n", kLookupFailure},         // 31st field empty at the end
        {"Other Log v1\r\nDate-Time,Count\r\n", kLookupFailure},  // another layout's header
        {"Pinewade Tallymark Log v1.1\r\n" + ColumnLine() + "\r\n", kConversionFailure},
        {LogLine(33, "1x", "2") + "\r\n", kConversionFailure},
        {LogLine(33, "1", " 2") + "\r\n", kConversionFailure},
        {LogLine(33, "-1", "2") + "\r\n", kConversionFailure},  // no wrap-around of a sign
        {LogLine(33, "1", "18446744073709551616") + "\r\n", kConversionFailure},
        {LogLine(33, "", "2") + "\r\n", kConversionFailure},
    };
    for (const auto& [content, failure] : cases) {
        WriteBytes(LogFile(), content);
        EXPECT_EQ(Restore(), failure) << content;
        EXPECT_EQ(ReadBytes(LogFile()), content);
    }
    std::filesystem::remove(LogFile());
    std::filesystem::create_directory(LogFile());  // exists, but is no file
    EXPECT_EQ(Restore(), kLookupFailure);
}

TEST(ResultHeader, NamesTheTenResultColumns) {
    EXPECT_EQ(ResultHeader(),
              "Raw Bit Error Rate(Calculated),Uncorrectable Bit Error Rate(8bitECC),"
              "Uncorrectable Bit Error Rate(12bitECC),Raw Bit Error Rate(Last Round),"
              "Uncorrectable Bit Error Rate(8bitECC Last Round),"
              "Uncorrectable Bit Error Rate(12bitECC Last Round),Uncorrectable Bit Error Count,"
              "Sector Fail Count,Read Speed(MB/s),Write Speed(MB/s)");
}

TEST(ResultLogName, JoinsFolderDriveNumberAndModelWithItsBlanks) {
    CKVTStatus status;
    status.DriveNumber = 3;
    status.Model = "KVT  SSD 64GB ";
    EXPECT_EQ(ResultLogName(status, L"/data/logs"),
              platform::JoinPath(L"/data/logs", L"drive3_KVT  SSD 64GB .csv"));
}

class AppendResultTest : public NamedLogFixture {
protected:
    AppendResultTest() : NamedLogFixture(1, "Model") {}
};

TEST_F(AppendResultTest, AppendsStatusRowAndTenResultsInPlainFormEndingInCrLf) {
    WriteBytes(LogFile(), "old line\r\n");
    OpenLogStream(test, *test.currentStatus);
    ASSERT_TRUE(test.resultLog.good());
    test.calculatedRber = 0.0001;
    test.uncorrectableBitErrors = 7;
    test.sectorFailCount = 3;
    AppendResult(test, 1.5, 250.25, 0.001);
    test.calculatedRber = 0;
    test.uncorrectableBitErrors = 12345678901234567890u;
    test.sectorFailCount = 1000000;
    AppendResult(test, 0, 0, 0);
    AppendResult(test, 0.000244140625, 123456789.0, 0);

    const std::string row = test.currentStatus->GetCSVRow();
    EXPECT_EQ(std::count(row.begin(), row.end(), ','), 22) << "23 status fields";
    EXPECT_EQ(
        ReadBytes(LogFile()),
        "old line\r\n" + row +
            ",0.0001,1.55051e-13,2.59015e-19,0.001,6.06038e-06,8.72488e-08,7,3,1.5,250.25\r\n" +
            row + ",0,0,0,0,0,0,12345678901234567890,1000000,0,0\r\n" + row +
            ",0,0,0,0,0,0,12345678901234567890,1000000,0.000244141,1.23457e+08\r\n");
}

TEST_F(AppendResultTest, ModelWithAPathSeparatorOpensNoFile) {
    for (const std::string model : {"A/B", "A\\B"}) {
        std::filesystem::create_directories(scratch.path() / "drive1_A");
        test.currentStatus->Model = model;
        test.resultLogPath = ResultLogName(*test.currentStatus, scratch.wide());
        test.resultLog.clear();
        OpenLogStream(test, *test.currentStatus);
        EXPECT_TRUE(test.resultLog.fail()) << model;
        EXPECT_FALSE(test.resultLog.is_open()) << model;
        EXPECT_TRUE(std::filesystem::is_empty(scratch.path() / "drive1_A")) << model;

        try {
            OpenResultLog(test);
            ADD_FAILURE() << "no failure for " << model;
        } catch (const std::exception& failure) {
            EXPECT_STREQ(failure.what(), "could not open LogFile");
        }
        EXPECT_TRUE(std::filesystem::is_empty(scratch.path() / "drive1_A")) << model;
    }
}

}  // namespace
