// Facts about the machine and the program's output: the host's name and
// whether standard output is a terminal.
#pragma once

#include <string>

namespace platform {

/// The machine's name as the network knows it (the computer name on
/// Windows); "unknown" when the system does not tell it.
std::string HostName();

/// True when standard output is a terminal (a console window), false when it
/// is a pipe or a file.
bool OutputIsTerminal();

}  // namespace platform
