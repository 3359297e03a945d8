// The posix viewer host: key events in a console, the console copy, the lock
// file mutex, the clipboard file and a missing tmux.
#include "platform/viewer_host.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "platform/posix/host/viewer_clipboard.h"
#include "platform/posix/host/viewer_keys.h"
#include "tests/viewer/viewer_test_support.h"

namespace {

using platform::KeyEvent;
using platform::posix::ConsoleInput;
using platform::posix::ConsoleKeyTranslator;

/// Feeds the events and describes the effects: typed bytes as they are,
/// a copy of the screen as "<copy>".
std::string Effects(ConsoleKeyTranslator* keys, const std::vector<KeyEvent>& events) {
    std::vector<ConsoleInput> inputs;
    for (const KeyEvent& event : events) keys->Feed(event, &inputs);
    std::string text;
    for (const ConsoleInput& input : inputs)
        text += input.kind == ConsoleInput::Kind::CopyScreen ? "<copy>" : "[" + input.bytes + "]";
    return text;
}

using viewer_test::Taps;

TEST(ConsoleKeys, SystemMenuSelectAllAndEnterCopyInsteadOfTyping) {
    ConsoleKeyTranslator keys;
    EXPECT_EQ(Effects(&keys, Taps("12\n2\n3\n")), "[12\r2\r3\r]");
    EXPECT_EQ(Effects(&keys, {{18, false}, {32, false}, {32, true}, {18, true}}), "");
    EXPECT_EQ(Effects(&keys, {{'E', false}, {'S', false}}), "");
    EXPECT_EQ(Effects(&keys, Taps("\n4\n0\n")), "<copy>[4\r0\r]");
}

TEST(ConsoleKeys, EscapeLeavesTheMenuWithoutCopyingLettersFollowShiftControlAndAlt) {
    ConsoleKeyTranslator keys;
    EXPECT_EQ(Effects(&keys, {{18, false}, {32, false}, {18, true}, {27, false}}), "");
    EXPECT_EQ(Effects(&keys, Taps("E\n")), "[e\r]");
    // A, shift B, control C, alt D.
    const std::vector<KeyEvent> modified = {{'A', false}, {16, false},  {'B', false}, {16, true},
                                            {17, false},  {'C', false}, {17, true},   {18, false},
                                            {'D', false}, {18, true}};
    EXPECT_EQ(Effects(&keys, modified),
              "[aB\x03\x1b"
              "d]");
}

TEST(ConsoleCopy, TrimsTrailingBlanksAndJoinsLinesWithCrLf) {
    EXPECT_EQ(platform::posix::ConsoleCopyText("Drive 2   \n  Serial\n\n"),
              "Drive 2\r\n  Serial\r\n\r\n");
    EXPECT_EQ(platform::posix::ConsoleCopyText(""), "");
}

class ViewerHostFiles : public ::testing::Test {
protected:
    test_support::ScratchFolder scratch_;
    const std::string folder_ = scratch_.path().string();
    test_support::EnvOverride viewerDir_{"SSDTEST_VIEWER_DIR", folder_};
};

TEST_F(ViewerHostFiles, ClipboardHoldsTextUpToItsFirstNul) {
    std::string text = "old";
    EXPECT_EQ(platform::ReadClipboardText(&text), platform::ClipboardRead::Unavailable);
    ASSERT_TRUE(platform::posix::WriteClipboardText("a\r\nb"));
    EXPECT_EQ(platform::ReadClipboardText(&text), platform::ClipboardRead::Text);
    EXPECT_EQ(text, "a\r\nb");
    test_support::WriteBytes(platform::posix::ClipboardFilePath(), std::string("x\0y", 3));
    EXPECT_EQ(platform::ReadClipboardText(&text), platform::ClipboardRead::Text);
    EXPECT_EQ(text, "x");
}

TEST_F(ViewerHostFiles, MutexIsOwnedByOneHandleAtATimeAndFreedWhenItsOwnerEnds) {
    platform::NamedMutex* first = platform::CreateNamedMutex(L"KVT_GAUGELENS_MUTEX");
    platform::NamedMutex* second = platform::CreateNamedMutex(L"KVT_GAUGELENS_MUTEX");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(std::filesystem::exists(folder_ + "/KVT_GAUGELENS_MUTEX.lock"));
    EXPECT_EQ(platform::WaitNamedMutex(first, 0), platform::MutexWait::Acquired);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(platform::WaitNamedMutex(second, 150), platform::MutexWait::TimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));

    platform::ReleaseAndCloseMutex(first);
    EXPECT_EQ(platform::WaitNamedMutex(second, 0), platform::MutexWait::Acquired);
    platform::ReleaseAndCloseMutex(second);

    // The mutex of an owner process that ended can be taken.
    const pid_t owner = fork();
    ASSERT_GE(owner, 0);
    if (owner == 0) {
        platform::NamedMutex* mutex = platform::CreateNamedMutex(L"KVT_GAUGELENS_MUTEX");
        _exit(platform::WaitNamedMutex(mutex, 0) == platform::MutexWait::Acquired ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(owner, &status, 0), owner);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    first = platform::CreateNamedMutex(L"KVT_GAUGELENS_MUTEX");
    EXPECT_EQ(platform::WaitNamedMutex(first, 0), platform::MutexWait::Acquired);
    platform::ReleaseAndCloseMutex(first);
}

TEST(ViewerConsole, NoConsoleWithoutTmux) {
    test_support::EnvOverride path("PATH", "/nonexistent");
    EXPECT_EQ(platform::StartInNewConsole(L"/bin/true"), nullptr);
    EXPECT_EQ(platform::FindConsoleWindow(L"/bin/true"), nullptr);
}

}  // namespace
