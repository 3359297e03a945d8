// Publishing the result log to the shared folder after a round.
#include "tracking/log_publish.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/named_log_fixture.h"
#include "text/operator_output.h"

namespace {

using test_support::ReadBytes;
using test_support::ScratchFolder;

class PublishResultLogTest : public NamedLogFixture {
protected:
    PublishResultLogTest() : NamedLogFixture(4, "KVT 32") {}
    void SetUp() override {
        OpenLogStream(test, *test.currentStatus);
        ASSERT_TRUE(test.resultLog.good());
    }
    std::filesystem::path SharedFolder() const { return home.path() / "My Dropbox" / "Public"; }
    std::filesystem::path CopyFile() const { return SharedFolder() / "drive4_KVT 32.csv"; }

    std::string PublishCapturingOutput() {
        const OutputCapture output;
        PublishResultLog(test, test, *test.currentStatus);
        return output.Text();
    }

    ScratchFolder home;
    test_support::EnvOverride homeVariable{"HOME", home.path().string()};
};

TEST_F(PublishResultLogTest, CopyFollowsTheLogAfterEveryRound) {
    std::filesystem::create_directories(SharedFolder());
    for (int round = 0; round < 3; ++round) {
        AppendResult(test, round, round, 0);
        EXPECT_EQ(PublishCapturingOutput(), "");
        EXPECT_TRUE(test.resultLog.good());
        EXPECT_EQ(ReadBytes(CopyFile()), ReadBytes(LogFile())) << round;
    }
    const std::string copy = ReadBytes(CopyFile());
    EXPECT_EQ(std::count(copy.begin(), copy.end(), '\n'), 3);
}

TEST_F(PublishResultLogTest, MissingSharedFolderIsReportedAndTheLogGoesOn) {
    AppendResult(test, 1, 1, 0);
    EXPECT_EQ(PublishCapturingOutput(),
              "Copy Failed: " + CopyFile().string() + "\nNo such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists(CopyFile()));
    ASSERT_TRUE(test.resultLog.good());

    const auto sizeBefore = std::filesystem::file_size(LogFile());
    AppendResult(test, 2, 2, 0);
    EXPECT_GT(std::filesystem::file_size(LogFile()), sizeBefore);
}

TEST_F(PublishResultLogTest, TheReopenForgetsAFailedWriteButAFailedReopenLeavesTheStreamFailed) {
    std::filesystem::create_directories(SharedFolder());
    test.resultLog.setstate(std::ios_base::badbit);
    PublishCapturingOutput();
    EXPECT_TRUE(test.resultLog.good());

    std::filesystem::remove_all(scratch.path());  // the log's folder is gone
    PublishCapturingOutput();
    EXPECT_TRUE(test.resultLog.fail());
}

}  // namespace
