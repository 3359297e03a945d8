// The real drives' folders: an installed ssdtest keeps its files in the
// system's state folder, the one its systemd unit uses too.
#include "platform/posix/host/install_layout.h"
#include "platform/posix/host/text.h"
#include "platform/process.h"

namespace platform {

std::wstring DataFolder() {
    if (!posix::InstalledProgram()) return ProgramFolder();
    return posix::Widen(posix::MadeFolder("/var/lib/ssdtest"));
}

std::wstring ViewerFolder() { return ProgramFolder(); }

}  // namespace platform
