// Calls that may block on a hung disk (a buffered read in the kernel cannot
// be interrupted, not even by SIGKILL), run in a child process the caller can
// leave behind, so the tool itself always answers within its deadline and to
// a signal.
#pragma once

#include <functional>
#include <string>

namespace platform::posix {

/// How a bounded call ended.
enum class BoundedEnd { Answered, NoAnswer, Stopped, NotStarted };

/// Runs `call` in a child process and hands back the text it returned in
/// *answer. NoAnswer when the child gave no whole answer within timeoutMs,
/// Stopped when a stop request (platform::StopRequest) came while waiting;
/// the child is then killed and not waited for. NotStarted when no child
/// could be made.
BoundedEnd RunBounded(const std::function<std::string()>& call, int timeoutMs, std::string* answer);

/// The deadline of a probe of a drive: 30 s, or SSDTEST_PROBE_TIMEOUT_MS when
/// that is set to a positive number (the tests' hung disks).
int ProbeTimeoutMs();

}  // namespace platform::posix
