// The supported kind's record: decoding its attributes and its status columns.
#include "status/ckvt_status.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/date_time/posix_time/posix_time.hpp>
#include <string>
#include <vector>

#include "tests/smart/smart_page.h"
#include "tests/smart/trace_capture.h"

namespace {

using boost::posix_time::ptime;

ptime SampleTime() {
    return ptime(boost::gregorian::date(2010, 8, 23), boost::posix_time::hours(14) +
                                                          boost::posix_time::minutes(5) +
                                                          boost::posix_time::seconds(9));
}

std::vector<std::string> SplitAtCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) return parts;
        start = comma + 1;
    }
}

// A record with distinct values in every column, as a refresh leaves it.
CKVTStatus FilledRecord() {
    CKVTStatus record;
    record.DateTime = SampleTime();
    record.AverageEraseCount = 1500;
    record.MaximumEraseCount = -2;  // top bit set: written signed, read back as its bits
    record.MinimumEraseCount = 1200;
    record.PowerCycleCount = 5;
    record.PowerOnHours = 6;
    record.RawReadErrorRate = 7;
    record.InitialBadBlockCount = 8;
    record.ProgramFailureBlockCount = 9;
    record.EraseFailureBlockCount = 10;
    record.ReadFailureBlockCount = 11;
    record.TotalErrorBitsFromFlash = 12345678901234ULL;
    record.TotalCorrectableReadSectors = 13;
    record.MaximumPECountSpecification = 3000;
    record.BadBlockFullFlag = 1;
    record.TotalReadSectors = 18446744073709551615ULL;
    record.TotalReadCommands = 17;
    record.TotalWriteSectors = 18;
    record.TotalWriteCommands = 19;
    record.OtherAttributes = {{210, 20}, {212, 22}, {13, 99}};
    return record;
}

void ExpectSameRecord(const CKVTStatus& a, const CKVTStatus& b) {
    EXPECT_EQ(a.DriveNumber, b.DriveNumber);
    EXPECT_EQ(a.Model, b.Model);
    EXPECT_EQ(a.SerialNumber, b.SerialNumber);
    EXPECT_EQ(a.FirmwareRevision, b.FirmwareRevision);
    EXPECT_EQ(a.DiskSize, b.DiskSize);
    EXPECT_EQ(a.DateTime, b.DateTime);
    EXPECT_EQ(a.GetCSVRow(), b.GetCSVRow());  // every counter column
    EXPECT_EQ(a.OtherAttributes, b.OtherAttributes);
}

}  // namespace

TEST(CKVTStatusDecode, ValuesSpanBytes3To10LittleEndianEraseCountsTheLow32Bits) {
    SmartDataBlock block;
    SmartPage()
        .Entry(0, 1, {0x64, 0x64, 0x10, 0, 0, 0, 0, 0})
        .Entry(1, 208, {0, 0, 0, 0, 1, 0, 0, 0})
        .Entry(2, 207, {0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0})
        .Entry(3, 206, {0x10, 0x27, 0, 0, 0, 0, 0, 0})
        .Entry(5, 9, {7})  // after a gap in the page: the index is compact
        .BuildInto(&block);
    CKVTStatus record;
    record.AverageEraseCount = 77;
    EXPECT_TRUE(record.UpdateFromSmartData(block));
    EXPECT_EQ(record.RawReadErrorRate, 1074276u);
    EXPECT_EQ(record.AverageEraseCount, 0);
    EXPECT_EQ(record.MaximumEraseCount, -1);
    EXPECT_EQ(record.MinimumEraseCount, 10000);
    EXPECT_EQ(record.PowerOnHours, 7u);
}

TEST(CKVTStatusDecode, MissingAttributesKeepTheirValuesAndOthersGoToTheMap) {
    CKVTStatus record;
    record.AverageEraseCount = 42;
    record.OtherAttributes[211] = 5;
    SmartDataBlock block;
    SmartPage().Add(13, {3}).Add(209, {9}).Add(210, {1, 2}).Add(9, {0x30}).BuildInto(&block);
    record.UpdateFromSmartData(block);

    EXPECT_EQ(record.AverageEraseCount, 42);
    EXPECT_EQ(record.PowerOnHours, 0x30u);
    // 209 is skipped; entries are added or overwritten, never removed.
    const std::map<std::uint8_t, std::uint64_t> expected = {{13, 3}, {210, 0x201}, {211, 5}};
    EXPECT_EQ(record.OtherAttributes, expected);
}

TEST(CKVTStatusCsv, HeaderIsTitleLineFeedAnd23Names) {
    EXPECT_EQ(CKVTStatus().GetCSVHeader(),
              "Pinewade Tallymark Log v1.1\n"
              "Date-Time,Average Erase Count,Maximum Erase Count,Minimum Erase Count"
              ",Power Cycle Count,Power on Hours,Raw Read Error Rate"
              ",Initial Bad Block Count,Program Failure Block Count"
              ",Erase Failure Block Count,Read Failure Block Count"
              ",Total Count of Error Bits from Flash"
              ",Total Count of Read Sectors with Correctable Bit Errors"
              ",Maximum PE Count Specification,Bad Block Full Flag"
              ",Total Count of Read Sectors,Total Count of Read Commands"
              ",Total Count of Write Sectors,Total Count of Write Commands"
              ",BBM Error Log,SATA Error Count CRC,SATA Error Count HANDSHAKE"
              ",SATA Link Status1");
}

TEST(CKVTStatusCsv, RowWritesColumnsInHeaderOrderWithAbsentOptionalsAsMinusOne) {
    EXPECT_EQ(FilledRecord().GetCSVRow(),
              "2010-Aug-23 14:05:09,1500,-2,1200,5,6,7,8,9,10,11,12345678901234,13,3000,1,"
              "18446744073709551615,17,18,19,20,-1,22,-1");
    EXPECT_EQ(CKVTStatus().GetCSVRow(),
              "not-a-date-time,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,-1,-1,-1,-1");
}

TEST(CKVTStatusCsv, RowReadsBackIntoARecordHoldingTheSameOptionalIds) {
    const CKVTStatus written = FilledRecord();
    CKVTStatus read;
    read.OtherAttributes = {{210, 0}, {212, 0}, {13, 99}};
    TraceCapture trace;
    // A whole result log line may be given: tokens after column 23 are ignored.
    EXPECT_TRUE(read.ReadFromCSV(written.GetCSVRow() + ",0.5,12,abc"));
    ExpectSameRecord(written, read);
    EXPECT_EQ(trace.Text(), "");

    // Optional columns for ids the record does not hold are skipped unconverted.
    CKVTStatus bare;
    EXPECT_TRUE(bare.ReadFromCSV(written.GetCSVRow()));
    EXPECT_TRUE(bare.OtherAttributes.empty());
    EXPECT_EQ(bare.TotalWriteCommands, 19u);
}

TEST(CKVTStatusCsv, ShortRowReturnsFalseKeepingThePresentColumns) {
    const std::string row = FilledRecord().GetCSVRow();
    const auto parts = SplitAtCommas(row);
    std::string first19 = parts[0];
    for (std::size_t i = 1; i < 19; ++i) first19 += "," + parts[i];

    CKVTStatus read;
    read.OtherAttributes = {{210, 0}};
    TraceCapture trace;
    EXPECT_FALSE(read.ReadFromCSV(first19));
    EXPECT_EQ(read.DateTime, SampleTime());
    EXPECT_EQ(read.MaximumEraseCount, -2);
    EXPECT_EQ(read.TotalWriteCommands, 19u);
    EXPECT_EQ(read.OtherAttributes.at(210), 0u);
    EXPECT_EQ(trace.Text(), "");  // a missing column is not traced
}

TEST(CKVTStatusCsv, AdjacentCommasCountAsOneBadTokensTraceClassAndMessage) {
    CKVTStatus read;
    TraceCapture trace;
    // Two adjacent commas count as one separator; the date keeps its inner space.
    EXPECT_FALSE(read.ReadFromCSV(",2010-Aug-23 14:05:09,,5"));
    EXPECT_EQ(read.DateTime, SampleTime());
    EXPECT_EQ(read.AverageEraseCount, 5);
    EXPECT_EQ(trace.Text(), "");

    EXPECT_FALSE(read.ReadFromCSV("2010-Aug-23 14:05:09,7, 5,1"));
    EXPECT_EQ(read.AverageEraseCount, 7);
    EXPECT_EQ(trace.Lines(),
              std::vector<std::string>{"CKVTStatus::ReadFromCSV"
                                       "bad lexical cast: source type value could not be "
                                       "interpreted as target"});
    // The date-time must stand alone in its token too.
    EXPECT_FALSE(read.ReadFromCSV(" 2010-Aug-23 14:05:09,5"));
    EXPECT_EQ(trace.Lines().size(), 2u);
}

TEST(CKVTStatusCopy, AssignmentCopiesEveryFieldAndSelfAssignmentChangesNothing) {
    CKVTStatus source = FilledRecord();
    source.DriveNumber = 3;
    source.Model = "Model X";
    source.SerialNumber = "SN1";
    source.FirmwareRevision = "FW1";
    source.DiskSize = 256u << 20;
    CKVTStatus target;
    target.OtherAttributes = {{211, 4}, {250, 1}};
    target = source;
    ExpectSameRecord(source, target);

    CKVTStatus& alias = target;
    target = alias;
    ExpectSameRecord(source, target);
}
