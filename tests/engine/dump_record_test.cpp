// The dump record's text: the drive it belongs to, its checksum, records of
// the older version, and the refusal of a drive the record does not belong to.
#include "engine/dump_record.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "engine/drive_refusal.h"
#include "tests/support/scratch.h"

namespace {

DriveIdentity Drive(const std::string& serial) {
    DriveIdentity drive;
    drive.number = 3;
    drive.model = "PROBE BLANK DISK WITH A FORTY CHAR MODEL";
    drive.serial = serial;
    drive.firmware = "FW 1";
    drive.sizeBytes = 64 << 20;
    return drive;
}

const DumpRecord kProgress{"00000000000000aa", "00000000000000bb", true, 5 << 20, 6 << 20};

}  // namespace

TEST(DumpRecordText, KeepsTheDriveAndRejectsAnyChangedByte) {
    const std::string text = DumpRecordText(Drive("PRB BLANK 0005 FULLW"), kProgress);
    DumpRecord read;
    std::string rejection;
    ASSERT_TRUE(ParseDumpRecord(text, &read, &rejection)) << rejection;
    EXPECT_TRUE(read.identified);
    EXPECT_EQ(read.drive.model, "PROBE BLANK DISK WITH A FORTY CHAR MODEL");
    EXPECT_EQ(read.drive.serial, "PRB BLANK 0005 FULLW");
    EXPECT_EQ(read.drive.sizeBytes, 64 << 20);
    EXPECT_EQ(read.writtenBytes, 5 << 20);
    EXPECT_EQ(read.unsureEndBytes, 6 << 20);

    // One edited digit of the progress, or a cut checksum line, is caught.
    std::string edited = text;
    edited[edited.find("written_bytes 5") + 14] = '9';
    EXPECT_FALSE(ParseDumpRecord(edited, &read, &rejection));
    EXPECT_EQ(rejection, "its checksum does not match its content");
    EXPECT_FALSE(ParseDumpRecord(text.substr(0, text.find("checksum")), &read, &rejection));

    // A serial with a line end cannot forge a field: it is kept on one line.
    ASSERT_TRUE(
        ParseDumpRecord(DumpRecordText(Drive("A\nwritten_bytes 0"), kProgress), &read, &rejection));
    EXPECT_EQ(read.drive.serial, "A?written_bytes 0");
}

TEST(DumpRecordText, OlderRecordsWithoutDriveOrChecksumAreStillRead) {
    DumpRecord read;
    std::string rejection;
    ASSERT_TRUE(
        ParseDumpRecord("ssdtest dump record 1\ncurrent a\nprevious b\nprevious_known 0\n"
                        "written_bytes 1048576\nunsure_end_bytes 2097152\n",
                        &read, &rejection));
    EXPECT_FALSE(read.identified);
    EXPECT_EQ(read.unsureEndBytes, 2 << 20);
    EXPECT_FALSE(ParseDumpRecord("ssdtest dump record 1\ncurrent a\n", &read, &rejection));
    EXPECT_FALSE(ParseDumpRecord("", &read, &rejection));
}

TEST(CheckRecordBelongsToDrive, RefusesAnotherDriveUnderTheSameNumber) {
    const test_support::ScratchFolder scratch;
    CSSDTest test;
    test.filesFolder = scratch.wide();
    test.driveNumber = 3;
    test.identity = Drive("SERIAL B");
    CheckRecordBelongsToDrive(test);  // no record yet

    std::ofstream(scratch.path() / "drive3_DumpRecord.txt")
        << DumpRecordText(Drive("SERIAL A"), kProgress);
    try {
        CheckRecordBelongsToDrive(test);
        FAIL() << "another drive's record was accepted";
    } catch (const DriveRefusal& refusal) {
        EXPECT_STREQ(refusal.what(), "Drive Not Found");
        EXPECT_NE(refusal.reason().find("serial 'SERIAL B'"), std::string::npos);
        EXPECT_NE(refusal.reason().find("serial 'SERIAL A'"), std::string::npos);
        EXPECT_NE(refusal.reason().find("move those files away"), std::string::npos);
    }

    test.identity = Drive("SERIAL A");
    CheckRecordBelongsToDrive(test);
    test.identity.sizeBytes *= 2;  // the same serial on another size is not the drive either
    EXPECT_THROW(CheckRecordBelongsToDrive(test), DriveRefusal);
}
