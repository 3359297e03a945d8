// Retrying a file operation that another program blocks for a moment: on
// Windows, virus scanners and indexers open fresh files and hold them while
// they look, so a rename or copy fails with a sharing violation or access
// denied, and succeeds a little later.
#pragma once

#include <cstdint>
#include <functional>

struct FileRetryPolicy {
    std::uint32_t totalWaitMs = 5000;   ///< waits add up to at most this
    std::uint32_t firstWaitMs = 10;     ///< doubled after every wait ...
    std::uint32_t longestWaitMs = 640;  ///< ... up to this
    /// Whether a failure's system error code may pass (the platform's answer).
    std::function<bool(std::uint32_t)> isBriefLock;
    std::function<void(std::uint32_t)> sleepMs;
};

/// The policy with the platform's error classes and the real sleep.
FileRetryPolicy DefaultFileRetryPolicy();

/// Runs `attempt` until it succeeds, fails with an error that is no brief
/// lock, or the policy's waits are used up. Returns the last attempt's
/// result; on failure *errorCode holds its system error code.
bool RetryWhileLocked(const std::function<bool()>& attempt, std::uint32_t* errorCode,
                      const FileRetryPolicy& policy = DefaultFileRetryPolicy());
