// Publishing the result log to the shared folder after a round.
#include "tracking/log_publish.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/process.h"
#include "tests/tracking/tracking_test_support.h"
#include "tracking/result_log.h"

namespace {

using tracking_test::ReadBytes;
using tracking_test::ScratchFolder;

// Points HOME, and with it the shared folder, at a scratch folder for the
// life of the object.
class ScratchHome {
public:
    ScratchHome() {
        if (const char* old = std::getenv("HOME")) oldHome_ = old;
        setenv("HOME", home_.path().c_str(), 1);
    }
    ~ScratchHome() {
        if (oldHome_)
            setenv("HOME", oldHome_->c_str(), 1);
        else
            unsetenv("HOME");
    }
    std::filesystem::path SharedFolder() const { return home_.path() / "My Dropbox" / "Public"; }

private:
    ScratchFolder home_;
    std::optional<std::string> oldHome_;
};

class PublishResultLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        test.currentStatus.DriveNumber = 4;
        test.currentStatus.Model = "KVT 32";
        test.resultLogPath = ResultLogName(test.currentStatus, logs.wide());
        OpenLogStream(test);
        ASSERT_TRUE(test.resultLog.good());
    }
    std::filesystem::path LogFile() const { return logs.path() / "drive4_KVT 32.csv"; }
    std::filesystem::path CopyFile() const { return home.SharedFolder() / "drive4_KVT 32.csv"; }

    std::string PublishCapturingOutput() {
        ::testing::internal::CaptureStdout();
        PublishResultLog(test);
        return ::testing::internal::GetCapturedStdout();
    }

    ScratchHome home;
    ScratchFolder logs;
    CSSDTest test;
};

TEST_F(PublishResultLogTest, CopyFollowsTheLogAfterEveryRound) {
    std::filesystem::create_directories(home.SharedFolder());
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
    const std::string expected = "Copy Failed: " + CopyFile().string() + "\n";
    EXPECT_EQ(PublishCapturingOutput(), expected);
    EXPECT_FALSE(std::filesystem::exists(CopyFile()));
    ASSERT_TRUE(test.resultLog.good());

    const auto sizeBefore = std::filesystem::file_size(LogFile());
    AppendResult(test, 2, 2, 0);
    EXPECT_GT(std::filesystem::file_size(LogFile()), sizeBefore);
}

TEST_F(PublishResultLogTest, AFailedWriteIsForgottenWhenTheLogReopens) {
    std::filesystem::create_directories(home.SharedFolder());
    test.resultLog.setstate(std::ios_base::badbit);
    PublishCapturingOutput();
    EXPECT_TRUE(test.resultLog.good());
}

TEST_F(PublishResultLogTest, FailedReopenLeavesTheStreamFailed) {
    std::filesystem::create_directories(home.SharedFolder());
    std::filesystem::remove_all(logs.path());  // the log's folder is gone
    PublishCapturingOutput();
    EXPECT_TRUE(test.resultLog.fail());
}

}  // namespace
