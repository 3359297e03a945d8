// The second kind's record: decoding its vendor attributes and its status columns.
#include "status/crzb_status.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/date_time/posix_time/posix_time.hpp>
#include <string>

#include "tests/smart/smart_page.h"
#include "tests/smart/trace_capture.h"

namespace {

using boost::posix_time::ptime;

const ptime kSampleTime(boost::gregorian::date(2010, 8, 23),
                        boost::posix_time::time_duration(14, 5, 9));

// Attribute pages of the sample drive; entry bytes listed from byte 3 on.
void SampleBlock(SmartDataBlock* block) {
    SmartPage()
        .Add(12, {100, 100, 0x10, 0x27, 0, 0})
        .Add(229)
        .Add(232)
        .Add(233, {0xAA, 0x00, 0x05, 0x11, 0x22, 0x33, 0x02, 0x01})
        .Add(234, {0xAA, 0x00, 0x01, 0xF4, 0x00, 0x03, 0xE8})
        .Add(235, {0xAA, 0x00, 0x10, 0x00, 0x00, 0x40})
        .BuildInto(block);
}

const char kSampleRow[] = "2010-Aug-23 14:05:09,10000,500,1000,4096,64,5,2,1,17,34,51";

}  // namespace

TEST(CRZBStatusDecode, InitTakesTheBlockCountsOnlyUpdateTheBigEndianVendorFields) {
    SmartDataBlock block;
    SampleBlock(&block);
    CRZBStatus record;
    EXPECT_TRUE(record.InitFromSmartData(block));
    EXPECT_EQ(record.GoodBlockCount, 4096u);
    EXPECT_EQ(record.SystemBlockCount, 64u);
    EXPECT_EQ(record.PowerCycleCount, 0u);
    EXPECT_EQ(record.AverageEraseCount, 0);

    EXPECT_TRUE(record.UpdateFromSmartData(block));
    record.DateTime = kSampleTime;
    EXPECT_EQ(record.GetCSVRow(), kSampleRow);  // every decoded field in its column
}

TEST(CRZBStatusCsv, RowReadsBack) {
    CRZBStatus read;
    EXPECT_TRUE(read.ReadFromCSV(kSampleRow));
    EXPECT_EQ(read.GetCSVRow(), kSampleRow);
    EXPECT_EQ(read.DateTime, kSampleTime);
    EXPECT_EQ(read.ECCFailAddress3, 51);
}

TEST(CRZBStatusCsv, ErasedCountsAreWrittenUnsignedAddressesKeepTheirLowByte) {
    CRZBStatus record;
    record.AverageEraseCount = -1;
    const std::string row = record.GetCSVRow();
    EXPECT_EQ(row.find('-', row.find(',')), std::string::npos);
    EXPECT_NE(row.find(",4294967295,"), std::string::npos);

    CRZBStatus read;
    EXPECT_TRUE(read.ReadFromCSV(row));
    EXPECT_EQ(read.AverageEraseCount, -1);

    // Address columns keep their low byte.
    EXPECT_TRUE(read.ReadFromCSV("2010-Aug-23 14:05:09,1,2,3,4,5,6,7,8,256,257,511"));
    EXPECT_EQ(read.ECCFailAddress1, 0);
    EXPECT_EQ(read.ECCFailAddress2, 1);
    EXPECT_EQ(read.ECCFailAddress3, 255);
}

TEST(CRZBStatusCsv, FailuresKeepWhatWasReadAndTraceOnlyConversions) {
    CRZBStatus read;
    TraceCapture trace;
    EXPECT_FALSE(read.ReadFromCSV("2010-Aug-23 14:05:09,10000,500"));
    EXPECT_EQ(read.AverageEraseCount, 500);
    EXPECT_EQ(trace.Text(), "");

    EXPECT_FALSE(read.ReadFromCSV("2010-Aug-23 14:05:09,12,x"));
    EXPECT_EQ(read.PowerCycleCount, 12u);
    EXPECT_EQ(trace.Lines(),
              std::vector<std::string>{"CRZBStatus::ReadFromCSV"
                                       "bad lexical cast: source type value could not be "
                                       "interpreted as target"});
}

TEST(CRZBStatusCsv, HeaderIsTitleLineFeedAnd12Names) {
    EXPECT_EQ(CRZBStatus().GetCSVHeader(),
              "RZB411/412 Tallymark Log v1.0\n"
              "Date-Time,Power Cycle Count,Average Erase Count,Maximum Erase Count,"
              "Good Block Count,System Block Count,ECC Fail Count,ECC Fail Channel,"
              "ECC Fail Bank,ECC Fail Address1,ECC Fail Address2,ECC Fail Address3");
}

TEST(CRZBStatusCopy, AssignmentCopiesEveryFieldAndSelfAssignmentChangesNothing) {
    CRZBStatus source;
    ASSERT_TRUE(source.ReadFromCSV(kSampleRow));
    source.DriveNumber = 2;
    source.Model = "RZB";
    source.DiskSize = 64u << 20;
    CRZBStatus target;
    target = source;
    CRZBStatus& alias = target;
    target = alias;
    EXPECT_EQ(target.GetCSVRow(), kSampleRow);
    EXPECT_EQ(target.DriveNumber, 2);
    EXPECT_EQ(target.Model, "RZB");
    EXPECT_EQ(target.DiskSize, 64u << 20);
}
