// Filing a capture: the data file from the clipboard and the moves of the
// viewer's two files to time-stamped names; the key batches and time stamp.
#include <gtest/gtest.h>

#include <boost/date_time/posix_time/posix_time.hpp>
#include <cstdint>

#include "platform/posix/host/viewer_clipboard.h"
#include "tests/viewer/viewer_test_support.h"
#include "text/operator_output.h"

namespace {

using namespace viewer_test;
using boost::posix_time::ptime;
using boost::posix_time::time_from_string;

/// The bytes of a string literal, embedded NULs included (its own end excluded).
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

class GaugeLensCapture : public ViewerFixture {
protected:
    /// Leaves the viewer's two files in the current folder, as the viewer does.
    void WriteViewerFiles() {
        WriteBytes(Prefix() + serial_ + "_bank.csv", "bank\n");
        WriteBytes(Prefix() + serial_ + "_block.csv", "block\n");
    }

    std::string Filed(const std::string& stamp, const std::string& suffix) const {
        return ProgramFolder() + "/" + Prefix() + stamp + suffix;
    }

    const ptime at_ = time_from_string("2010-08-23 14:05:09");
};

TEST_F(GaugeLensCapture, FilesTextAndBothViewerFilesUnderTheTimeStamp) {
    UseDrive(2);
    ASSERT_TRUE(platform::posix::WriteClipboardText("Drive 2\r\nline\nend"));
    WriteViewerFiles();

    const OutputCapture output;
    EXPECT_TRUE(CaptureGaugeLensOutputAt(test_, test_, at_));
    EXPECT_EQ(output.Text(), "");

    // Every line feed is stored as CR LF, and the text's NUL comes along.
    EXPECT_EQ(ReadBytes(Filed("20100823T140509", "_data.txt")),
              Bytes("Drive 2\r\r\nline\r\nend\0"));
    EXPECT_EQ(ReadBytes(Filed("20100823T140509", "_bank.csv")), "bank\n");
    EXPECT_EQ(ReadBytes(Filed("20100823T140509", "_block.csv")), "block\n");
    EXPECT_FALSE(Exists(Prefix() + serial_ + "_bank.csv"));
    EXPECT_FALSE(Exists(Prefix() + serial_ + "_block.csv"));
}

TEST_F(GaugeLensCapture, SecondCaptureInTheSameSecondOverwritesTextAndKeepsFiledFiles) {
    UseDrive(41);
    ASSERT_TRUE(platform::posix::WriteClipboardText("first"));
    WriteViewerFiles();
    ASSERT_TRUE(CaptureGaugeLensOutputAt(test_, test_, at_));

    ASSERT_TRUE(platform::posix::WriteClipboardText("second"));
    WriteBytes(Prefix() + serial_ + "_bank.csv", "new bank\n");
    WriteBytes(Prefix() + serial_ + "_block.csv", "new block\n");
    const OutputCapture output;
    EXPECT_FALSE(CaptureGaugeLensOutputAt(test_, test_, at_));
    const std::string before = Prefix() + serial_ + "_bank.csv";
    EXPECT_EQ(output.Text(),
              before + " -> " + Filed("20100823T140509", "_bank.csv") + "\nMoveFile1 Failed!\n");

    EXPECT_EQ(ReadBytes(Filed("20100823T140509", "_data.txt")), Bytes("second\0"));
    EXPECT_EQ(ReadBytes(Filed("20100823T140509", "_bank.csv")), "bank\n");
    EXPECT_EQ(ReadBytes(before), "new bank\n");
}

TEST_F(GaugeLensCapture, MissingBlockFileFailsTheSecondMove) {
    UseDrive(42);
    ASSERT_TRUE(platform::posix::WriteClipboardText("text"));
    WriteBytes(Prefix() + serial_ + "_bank.csv", "bank\n");

    const OutputCapture output;
    EXPECT_FALSE(CaptureGaugeLensOutputAt(test_, test_, at_));
    EXPECT_EQ(output.Text(), Prefix() + serial_ + "_block.csv -> " +
                                 Filed("20100823T140509", "_block.csv") + "\nMoveFile2 Failed!\n");
    EXPECT_TRUE(Exists(Filed("20100823T140509", "_bank.csv")));
}

TEST_F(GaugeLensCapture, ASerialWithPathSeparatorsNamesFilesInTheFolder) {
    UseDrive(43);
    test_.currentStatus->SerialNumber = "../" + serial_;
    ASSERT_TRUE(platform::posix::WriteClipboardText("text"));
    WriteBytes(Prefix() + ".._" + serial_ + "_bank.csv", "bank\n");
    WriteBytes(Prefix() + ".._" + serial_ + "_block.csv", "block\n");
    EXPECT_TRUE(CaptureGaugeLensOutputAt(test_, test_, at_));
    EXPECT_EQ(ReadBytes(Filed("20100823T140509", "_bank.csv")), "bank\n");
}

TEST_F(GaugeLensCapture, NoClipboardTextFilesNothingEmptyTextFilesOneNulByte) {
    UseDrive(44);
    WriteViewerFiles();
    OutputCapture output;
    EXPECT_FALSE(CaptureGaugeLensOutputAt(test_, test_, at_));
    EXPECT_EQ(output.Take(), "ClipBoard Open Failed!\n");
    EXPECT_TRUE(FiledCaptures().empty());
    EXPECT_TRUE(Exists(Prefix() + serial_ + "_bank.csv"));

    ASSERT_TRUE(platform::posix::WriteClipboardText(""));
    EXPECT_TRUE(CaptureGaugeLensOutputAt(test_, test_, at_));
    EXPECT_EQ(ReadBytes(Filed("20100823T140509", "_data.txt")), std::string(1, '\0'));
}

TEST(GaugeLensTimeStamp, IsTheBasicIsoFormToTheSecond) {
    EXPECT_EQ(GaugeLensTimeStamp(time_from_string("2010-08-23 14:05:09.750")), L"20100823T140509");
    EXPECT_EQ(GaugeLensTimeStamp(time_from_string("2009-01-02 03:04:05")), L"20090102T030405");
}

TEST(GaugeLensKeyBatches, AnswerThePromptsWithEveryDigitAndCopyTheConsoleText) {
    const auto batches = GaugeLensKeyBatches(2);
    ASSERT_EQ(batches.size(), 4u);
    EXPECT_EQ(Keys(batches[0]), Keys(Taps("2\n2\n3\n")));
    EXPECT_EQ(Keys(batches[1]), Keys({{18, false}, {32, false}, {32, true}, {18, true}}));
    EXPECT_EQ(Keys(batches[2]), Keys({{'E', false}, {'E', true}, {'S', false}, {'S', true}}));
    EXPECT_EQ(Keys(batches[3]), Keys(Taps("\n4\n0\n")));
    for (std::uint32_t drive : {0u, 12u, 105u}) {
        EXPECT_EQ(Keys(GaugeLensKeyBatches(drive)[0]),
                  Keys(Taps(std::to_string(drive) + "\n2\n3\n")));
    }
}

}  // namespace
