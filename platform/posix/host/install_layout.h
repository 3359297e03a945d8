// Where an installed program keeps its files. An executable in the install
// tree's bin folder (/usr/bin, /usr/local/bin, <prefix>/bin) never writes
// beside itself; one run from the build folder or a folder of its own keeps
// its files there.
#pragma once

#include <string>

namespace platform::posix {

/// True when the running program sits in a folder named as the install
/// tree's bin folder.
bool InstalledProgram();

/// `folder`, made with its missing parents when it does not exist yet
/// (errors are left to the first file opened in it).
std::string MadeFolder(const std::string& folder);

}  // namespace platform::posix
