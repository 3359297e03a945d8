#include "platform/posix/host/install_layout.h"

#include <filesystem>
#include <system_error>

#include "platform/posix/host/text.h"
#include "platform/process.h"

namespace platform::posix {

bool InstalledProgram() {
    const std::filesystem::path bin(SSDTEST_INSTALL_BINDIR);
    return std::filesystem::path(Narrow(ProgramFolder())).filename() == bin.filename();
}

std::string MadeFolder(const std::string& folder) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

}  // namespace platform::posix
