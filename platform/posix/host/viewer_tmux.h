// The private tmux server that gives each viewer a console of its own.
#pragma once

#include <string>
#include <vector>

namespace platform::posix {

/// Socket name of the viewer's tmux server (`tmux -L`): env
/// SSDTEST_VIEWER_TMUX_SOCKET when set, else "ssdtest-viewer".
std::string ViewerTmuxSocket();

/// Runs `tmux -L <socket> args...` directly (no shell) in the caller's
/// environment and waits for it. Collects its standard output into *output
/// when given. True when tmux ran and exited with status 0.
bool RunTmux(const std::vector<std::string>& args, std::string* output = nullptr);

}  // namespace platform::posix
