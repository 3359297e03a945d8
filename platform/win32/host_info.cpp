#include "platform/host_info.h"

#include <windows.h>

namespace platform {

std::string HostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size) || size == 0) return "unknown";
    return std::string(name, size);
}

bool OutputIsTerminal() {
    // A console has a console mode; a pipe or a file has none.
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

}  // namespace platform
