// Test helper for viewer runs: a scratch current folder, a private tmux server,
// lock and clipboard files of its own, and the stand-in viewer placed under the
// viewer's file name in a scratch program folder.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "engine/run_folders.h"
#include "engine/test_context.h"
#include "platform/posix/host/text.h"
#include "platform/posix/host/viewer_tmux.h"
#include "platform/process.h"
#include "platform/viewer_host.h"
#include "tests/support/scratch.h"
#include "viewer/gauge_lens.h"

namespace viewer_test {

inline std::string Narrow(const std::wstring& text) { return platform::posix::Narrow(text); }

using test_support::ReadBytes;
using test_support::WriteBytes;

inline bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

/// Press and release of each key; a line feed is the Enter key.
inline std::vector<platform::KeyEvent> Taps(const std::string& keys) {
    std::vector<platform::KeyEvent> events;
    for (const char key : keys) {
        const std::uint16_t code = key == '\n' ? 13 : static_cast<std::uint16_t>(key);
        events.push_back({code, false});
        events.push_back({code, true});
    }
    return events;
}

/// The events as (key, released) pairs, to compare in one expectation.
inline std::vector<std::pair<int, bool>> Keys(const std::vector<platform::KeyEvent>& events) {
    std::vector<std::pair<int, bool>> keys;
    for (const platform::KeyEvent& event : events)
        keys.emplace_back(event.virtualKey, event.release);
    return keys;
}

/// Names in `folder` that start with `prefix` and end with `suffix`.
inline std::vector<std::string> FilesLike(const std::string& folder, const std::string& prefix,
                                          const std::string& suffix) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.size() >= prefix.size() + suffix.size() && name.rfind(prefix, 0) == 0 &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            names.push_back(name);
    }
    return names;
}

/// Counts running processes whose first argument is `path` and whose
/// environment holds `variable` ("NAME=value").
// A /proc file of a process that may end while it is read: what was read, or
// nothing (the stream reports the vanished process as a read error).
inline std::string ReadProcFile(const std::string& file) {
    try {
        return ReadBytes(file);
    } catch (const std::exception&) {
        return std::string();
    }
}

inline int ProcessesRunning(const std::string& path, const std::string& variable) {
    int count = 0;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ignored)) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string cmdline = ReadProcFile(entry.path().string() + "/cmdline");
        const std::string stat = ReadProcFile(entry.path().string() + "/stat");
        const std::size_t close = stat.rfind(')');
        const bool zombie = close != std::string::npos && stat.compare(close + 2, 1, "Z") == 0;
        const std::string environment = '\0' + ReadProcFile(entry.path().string() + "/environ");
        if (!zombie && cmdline.c_str() == path &&
            environment.find('\0' + variable + '\0') != std::string::npos)
            ++count;
    }
    return count;
}

class ViewerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(mkdir((scratch_ + "/shared").c_str(), 0700), 0);
        ASSERT_EQ(mkdir(ProgramFolder().c_str(), 0700), 0);
        char old[4096];
        ASSERT_NE(getcwd(old, sizeof old), nullptr);
        oldFolder_ = old;
        ASSERT_EQ(chdir(scratch_.c_str()), 0);

        const std::string socket = "ssdtest-viewer-test-" + std::to_string(getpid());
        setenv("SSDTEST_VIEWER_TMUX_SOCKET", socket.c_str(), 1);
        setenv("SSDTEST_VIEWER_DIR", (scratch_ + "/shared").c_str(), 1);
        for (const char* option : {"GAUGELENS_STANDIN_NO_START", "GAUGELENS_STANDIN_HANG",
                                   "GAUGELENS_STANDIN_NO_BANK", "GAUGELENS_STANDIN_NO_BLOCK"})
            unsetenv(option);
        setenv("GAUGELENS_STANDIN_SERIAL", serial_.c_str(), 1);
        PlaceStandIn();

        test_.currentStatus->SerialNumber = serial_;
        test_.programFolder = platform::posix::Widen(ProgramFolder());
        // The stand-in shows its screen at once: a short key pacing will do.
        test_.timings.viewerStartDelayMs = 50;
        test_.timings.keyMenuDelayMs = 200;
        test_.timings.keySelectDelayMs = 50;
    }

    void TearDown() override {
        platform::posix::RunTmux({"kill-server"});
        RemoveTmuxSocket();
        if (!oldFolder_.empty()) {
            EXPECT_EQ(chdir(oldFolder_.c_str()), 0);
        }
    }

    void UseDrive(std::uint32_t driveNumber) { test_.driveNumber = driveNumber; }

    /// The program folder of the test's context: the stand-in viewer is
    /// started from it and the captures are filed in it.
    std::string ProgramFolder() const { return scratch_ + "/program"; }

    /// "drive<N>_", the start of every file a capture of this test files.
    std::string Prefix() const { return "drive" + std::to_string(test_.driveNumber) + "_"; }

    /// Capture files of this test's drive in the program's folder; `kind`
    /// picks one of the three ("bank\\.csv"), all of them by default.
    std::vector<std::string> FiledCaptures(
        const std::string& kind = "data\\.txt|bank\\.csv|block\\.csv") const {
        const std::regex filed(Prefix() + "[0-9]{8}T[0-9]{6}_(" + kind + ")");
        std::vector<std::string> names;
        for (const std::string& name : FilesLike(ProgramFolder(), Prefix(), "")) {
            if (std::regex_match(name, filed)) names.push_back(name);
        }
        return names;
    }

    std::string ViewerPath() const { return Narrow(GaugeLensPath(test_)); }

    /// Viewers of this test still running.
    int ViewersRunning() const {
        return ProcessesRunning(ViewerPath(), "GAUGELENS_STANDIN_SERIAL=" + serial_);
    }

    CSSDTest test_;
    const std::string serial_ = "SN" + std::to_string(getpid());
    test_support::ScratchFolder scratchFolder_;  // the current folder while the test runs
    const std::string scratch_ = scratchFolder_.path().string();

private:
    /// Links the stand-in viewer, built next to the test program's folder,
    /// into the scratch program folder.
    void PlaceStandIn() {
        const std::string target = Narrow(platform::ProgramFolder()) + "/../GaugeLens_2_21.exe";
        ASSERT_TRUE(Exists(target)) << "stand-in viewer not built: " << target;
        ASSERT_EQ(symlink(target.c_str(), (ProgramFolder() + "/GaugeLens_2_21.exe").c_str()), 0);
    }

    /// tmux leaves its socket file behind when its server ends.
    static void RemoveTmuxSocket() {
        const char* tmpdir = getenv("TMUX_TMPDIR");
        const std::string folder = (tmpdir != nullptr && *tmpdir != '\0') ? tmpdir : "/tmp";
        const std::string socket = folder + "/tmux-" + std::to_string(getuid()) + "/" +
                                   platform::posix::ViewerTmuxSocket();
        std::remove(socket.c_str());
    }

    std::string oldFolder_;
};

}  // namespace viewer_test
