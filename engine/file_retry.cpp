#include "engine/file_retry.h"

#include <algorithm>

#include "platform/console.h"
#include "platform/process.h"

FileRetryPolicy DefaultFileRetryPolicy() {
    FileRetryPolicy policy;
    policy.isBriefLock = platform::IsBriefFileLock;
    policy.sleepMs = platform::SleepMs;
    return policy;
}

bool RetryWhileLocked(const std::function<bool()>& attempt, std::uint32_t* errorCode,
                      const FileRetryPolicy& policy) {
    std::uint32_t waitedMs = 0;
    std::uint32_t nextWaitMs = policy.firstWaitMs;
    for (;;) {
        *errorCode = 0;
        if (attempt()) return true;
        *errorCode = platform::LastErrorCode();
        if (!policy.isBriefLock(*errorCode) || waitedMs >= policy.totalWaitMs) return false;
        const std::uint32_t waitMs = std::min(nextWaitMs, policy.totalWaitMs - waitedMs);
        policy.sleepMs(waitMs);
        waitedMs += waitMs;
        nextWaitMs = std::min(nextWaitMs * 2, policy.longestWaitMs);
    }
}
