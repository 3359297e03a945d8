// The lab's folders: an installed ssdtest-lab keeps its bench, logs and dump
// files in the user's data folder and starts the stand-in viewer from its own
// folder under libexec, where the real ssdtest never looks.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/posix/host/install_layout.h"
#include "platform/posix/host/text.h"
#include "platform/process.h"

namespace platform {

namespace {

// $XDG_DATA_HOME, else ~/.local/share.
std::string UserDataHome() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') return data;
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd* user = getpwuid(getuid());
        home = user != nullptr ? user->pw_dir : "/tmp";
    }
    return std::string(home) + "/.local/share";
}

}  // namespace

std::wstring DataFolder() {
    if (!posix::InstalledProgram()) return ProgramFolder();
    const std::string folder = posix::MadeFolder(UserDataHome() + "/ssdtest-lab");
    // The stand-in viewer finds the bench through SSDLAB_DIR, as the lab does.
    setenv("SSDLAB_DIR", folder.c_str(), 0);
    return posix::Widen(folder);
}

std::wstring ViewerFolder() {
    if (!posix::InstalledProgram()) return ProgramFolder();
    const std::filesystem::path libexec(SSDTEST_INSTALL_LIBEXECDIR);
    const std::filesystem::path prefix =
        std::filesystem::path(posix::Narrow(ProgramFolder())).parent_path();
    return posix::Widen(
        ((libexec.is_absolute() ? libexec : prefix / libexec) / "ssdtest-lab").string());
}

}  // namespace platform
