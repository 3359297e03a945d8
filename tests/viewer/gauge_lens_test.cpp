// Whole viewer runs against the stand-in viewer in a private tmux server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>

#include "platform/viewer_host.h"
#include "tests/viewer/viewer_test_support.h"
#include "text/operator_output.h"

namespace {

using namespace viewer_test;

int Occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

using GaugeLensRun = ViewerFixture;

TEST_F(GaugeLensRun, ViewerOperatedByKeysIsCapturedAtTheFirstAttempt) {
    UseDrive(12);  // two digits: both must reach the viewer
    OutputCapture output;
    RunGaugeLens(test_, test_);
    const std::string out = output.Take();

    EXPECT_EQ(out, "Waiting Viewer : " + ViewerPath() + "\n");
    ASSERT_EQ(FiledCaptures("data\\.txt").size(), 1u);
    ASSERT_EQ(FiledCaptures("bank\\.csv").size(), 1u);
    ASSERT_EQ(FiledCaptures("block\\.csv").size(), 1u);
    const std::string stamp = FiledCaptures("data\\.txt")[0].substr(Prefix().size(), 15);
    EXPECT_EQ(FiledCaptures("bank\\.csv")[0], Prefix() + stamp + "_bank.csv");
    EXPECT_EQ(FiledCaptures("block\\.csv")[0], Prefix() + stamp + "_block.csv");

    // The data file holds the viewer's screen as the console copy gave it:
    // lines joined by CR LF (stored as CR CR LF), ending in the text's NUL.
    const std::string data = ReadBytes(ProgramFolder() + "/" + FiledCaptures("data\\.txt")[0]);
    EXPECT_NE(data.find("Drive 12 : "), std::string::npos) << data;
    EXPECT_NE(data.find("Serial Number : " + serial_ + "\r\r\n"), std::string::npos) << data;
    EXPECT_EQ(data.back(), '\0');
    EXPECT_TRUE(FiledCaptures("bank\\.csv").size() == 1 &&
                FilesLike(".", Prefix(), ".csv").empty());
    EXPECT_EQ(ViewersRunning(), 0);
}

TEST_F(GaugeLensRun, ViewerWithoutBankFileFailsThreeAttemptsAndTheRunGoesOn) {
    UseDrive(45);
    setenv("GAUGELENS_STANDIN_NO_BANK", "1", 1);
    OutputCapture output;
    RunGaugeLens(test_, test_);
    const std::string out = output.Take();

    EXPECT_EQ(Occurrences(out, "Waiting Viewer : "), 3);
    EXPECT_EQ(Occurrences(out, "\nMoveFile1 Failed!\n"), 3);
    EXPECT_EQ(Occurrences(out, "MoveFile2"), 0);
    EXPECT_NE(out.find("MoveFile1 Failed!\nRunGaugeLens Failed.\n"), std::string::npos) << out;
    EXPECT_FALSE(FiledCaptures("data\\.txt").empty());
    EXPECT_TRUE(FiledCaptures("bank\\.csv").empty());
    EXPECT_TRUE(FiledCaptures("block\\.csv").empty());
    // The block file stays where the viewer wrote it.
    EXPECT_TRUE(Exists(Prefix() + serial_ + "_block.csv"));
}

TEST_F(GaugeLensRun, ConsoleStartsAViewerPathWithBlanksAndShellCharactersAsItIs) {
    const std::string folder = scratch_ + "/a b=c;$(false)'";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string path = folder + "/GaugeLens_2_21.exe";
    ASSERT_EQ(symlink((ProgramFolder() + "/GaugeLens_2_21.exe").c_str(), path.c_str()), 0);
    const std::wstring title = platform::posix::Widen(path);

    platform::ViewerProcess* viewer = platform::StartInNewConsole(title);
    ASSERT_NE(viewer, nullptr);
    platform::ConsoleWindow* window = platform::FindConsoleWindow(title);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(platform::WaitProcessEnd(viewer, 300));  // waiting at its first prompt
    EXPECT_EQ(ProcessesRunning(path, "GAUGELENS_STANDIN_SERIAL=" + serial_), 1);
    platform::PostClose(window);
    EXPECT_TRUE(platform::WaitProcessEnd(viewer, 5000));
    EXPECT_EQ(platform::FindConsoleWindow(title), nullptr);
    platform::CloseViewerProcess(viewer);
}

TEST_F(GaugeLensRun, ConsoleServerKeepsNoFileOfTheTesterOpen) {
    // A file the tester holds open (as it holds its result log and the drive).
    const std::string held = scratch_ + "/held.csv";
    const int fd = open(held.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    platform::ViewerProcess* viewer = platform::StartInNewConsole(GaugeLensPath(test_));
    ASSERT_NE(viewer, nullptr);
    std::string server;
    ASSERT_TRUE(platform::posix::RunTmux({"display-message", "-p", "#{pid}"}, &server));
    server.erase(server.find_last_not_of("\n") + 1);

    std::vector<std::string> open;
    std::error_code ignored;
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + server + "/fd", ignored))
        open.push_back(std::filesystem::read_symlink(entry.path(), ignored).string());
    EXPECT_FALSE(open.empty()) << "no descriptors seen for tmux server " << server;
    EXPECT_EQ(std::count(open.begin(), open.end(), held), 0);
    close(fd);
    platform::CloseViewerProcess(viewer);
}

TEST_F(GaugeLensRun, ViewerThatNeverEndsIsTerminatedAndTheCaptureGoesOn) {
    UseDrive(46);
    setenv("GAUGELENS_STANDIN_HANG", "1", 1);
    test_.timings.viewerEndWaitMs = 300;
    OutputCapture output;
    const bool filed = RunGaugeLensOnce(test_, test_);
    const std::string out = output.Take();

    EXPECT_TRUE(filed);
    EXPECT_NE(out.find("GaugeLens Not Responding, Terminated.\n"), std::string::npos) << out;
    EXPECT_EQ(FiledCaptures("bank\\.csv").size(), 1u);
    for (int wait = 0; wait < 100 && ViewersRunning() > 0; ++wait) usleep(10000);
    EXPECT_EQ(ViewersRunning(), 0);
}

TEST_F(GaugeLensRun, ViewerThatNeverStartsLeavesNoWindowAndNoCapture) {
    UseDrive(47);
    setenv("GAUGELENS_STANDIN_NO_START", "1", 1);
    test_.timings.viewerStartDelayMs =
        1000;  // time enough for its console to close, even when busy
    const OutputCapture output;
    EXPECT_FALSE(RunGaugeLensOnce(test_, test_));
    EXPECT_EQ(output.Text(), "Waiting Viewer : " + ViewerPath() +
                                 "\nTarget Window Not Found\nClipBoard Open Failed!\n");
}

TEST_F(GaugeLensRun, BusyMutexWithoutViewerReportsItNotFound) {
    UseDrive(48);
    platform::NamedMutex* other = platform::CreateNamedMutex(L"KVT_GAUGELENS_MUTEX");
    ASSERT_EQ(platform::WaitNamedMutex(other, 0), platform::MutexWait::Acquired);
    test_.timings.viewerMutexWaitMs = 200;
    const OutputCapture output;
    EXPECT_FALSE(RunGaugeLensOnce(test_, test_));
    EXPECT_EQ(output.Text(), "Waiting Viewer : " + ViewerPath() +
                                 "\nWait TimeOut! Retrying.\nGaugeLens Not Found\n");
    platform::ReleaseAndCloseMutex(other);
    EXPECT_TRUE(FiledCaptures().empty());
}

TEST_F(GaugeLensRun, MutexHeldElsewhereBeyondTheMutexWaitClosesItsViewerAndRetries) {
    UseDrive(49);
    test_.timings.viewerMutexWaitMs = 1500;
    platform::ViewerProcess* foreign = platform::StartInNewConsole(GaugeLensPath(test_));
    ASSERT_NE(foreign, nullptr);
    for (int wait = 0; wait < 100 && ViewersRunning() == 0; ++wait) usleep(10000);
    ASSERT_EQ(ViewersRunning(), 1);
    // Another tester: holds the mutex while its viewer waits at a prompt, and
    // until that viewer has gone (10 s at most).
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        platform::NamedMutex* mutex = platform::CreateNamedMutex(L"KVT_GAUGELENS_MUTEX");
        const bool held = platform::WaitNamedMutex(mutex, 0) == platform::MutexWait::Acquired;
        const char answer = held ? '1' : '0';
        if (write(ready[1], &answer, 1) != 1 || !held) _exit(1);
        for (int wait = 0; wait < 1000 && ViewersRunning() > 0; ++wait) usleep(10000);
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    ASSERT_EQ(answer, '1');
    close(ready[0]);
    close(ready[1]);

    const auto start = std::chrono::steady_clock::now();
    OutputCapture output;
    RunGaugeLens(test_, test_);
    const std::string out = output.Take();
    const auto waited = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(out.substr(0, out.find("Waiting Viewer", 1)),
              "Waiting Viewer : " + ViewerPath() + "\nWait TimeOut! Retrying.\nQuit GaugeLens\n");
    EXPECT_EQ(Occurrences(out, "Waiting Viewer : "), 2) << out;
    EXPECT_EQ(out.find("Failed"), std::string::npos) << out;
    EXPECT_GE(waited, std::chrono::milliseconds(test_.timings.viewerMutexWaitMs));
    EXPECT_TRUE(platform::WaitProcessEnd(foreign, 0));  // it got the close
    EXPECT_EQ(ViewersRunning(), 0);
    platform::CloseViewerProcess(foreign);
    EXPECT_EQ(FiledCaptures("bank\\.csv").size(), 1u);
    int status = 0;
    EXPECT_EQ(waitpid(holder, &status, 0), holder);
}

}  // namespace
