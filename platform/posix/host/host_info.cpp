#include "platform/host_info.h"

#include <unistd.h>

namespace platform {

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "unknown";
    return name;
}

bool OutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

}  // namespace platform
