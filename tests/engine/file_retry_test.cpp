// Retrying file operations while another program holds the file briefly.
#include "engine/file_retry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <numeric>
#include <vector>

namespace {

constexpr std::uint32_t kLocked = 32;  // the played system's "sharing violation"
constexpr std::uint32_t kDenied = 2;   // any other failure

struct PlayedSystem {
    PlayedSystem(int failures, std::uint32_t code) : failuresLeft(failures), failure(code) {}
    int failuresLeft;  ///< -1: fails for ever
    std::uint32_t failure;
    std::vector<std::uint32_t> waitsMs;
    int attempts = 0;

    FileRetryPolicy Policy() {
        FileRetryPolicy policy;
        policy.isBriefLock = [](std::uint32_t code) { return code == kLocked; };
        policy.sleepMs = [this](std::uint32_t ms) { waitsMs.push_back(ms); };
        return policy;
    }
    bool Attempt() {
        ++attempts;
        if (failuresLeft == 0) return true;
        if (failuresLeft > 0) --failuresLeft;
        errno = static_cast<int>(failure);  // the system error code on Linux
        return false;
    }
    std::uint32_t WaitedMs() const { return std::accumulate(waitsMs.begin(), waitsMs.end(), 0u); }
};

}  // namespace

TEST(FileRetry, BriefLockIsWaitedOutWithGrowingWaitsOtherFailuresAreNot) {
    PlayedSystem brief{4, kLocked};
    std::uint32_t error = 99;
    EXPECT_TRUE(RetryWhileLocked([&] { return brief.Attempt(); }, &error, brief.Policy()));
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(brief.waitsMs, (std::vector<std::uint32_t>{10, 20, 40, 80}));

    PlayedSystem other{-1, kDenied};
    EXPECT_FALSE(RetryWhileLocked([&] { return other.Attempt(); }, &error, other.Policy()));
    EXPECT_EQ(error, kDenied);
    EXPECT_EQ(other.attempts, 1);
    EXPECT_TRUE(other.waitsMs.empty());
}

TEST(FileRetry, LockThatNeverLiftsFailsAfterFiveSecondsOfWaits) {
    PlayedSystem held{-1, kLocked};
    std::uint32_t error = 0;
    EXPECT_FALSE(RetryWhileLocked([&] { return held.Attempt(); }, &error, held.Policy()));
    EXPECT_EQ(error, kLocked);
    EXPECT_EQ(held.WaitedMs(), 5000u);
    EXPECT_EQ(*std::max_element(held.waitsMs.begin(), held.waitsMs.end()), 640u);
    EXPECT_EQ(held.attempts, static_cast<int>(held.waitsMs.size()) + 1);
}
