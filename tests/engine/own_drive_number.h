// A drive number of its own for each test of a suite, so tests that leave
// files named by the drive number in the program's folder can run in parallel.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

/// `base` plus the current test's position in its suite.
inline std::uint32_t OwnDriveNumber(std::uint32_t base) {
    const testing::UnitTest* unit = testing::UnitTest::GetInstance();
    const testing::TestSuite* suite = unit->current_test_suite();
    for (int i = 0; suite != nullptr && i < suite->total_test_count(); ++i) {
        if (suite->GetTestInfo(i) == unit->current_test_info()) {
            return base + static_cast<std::uint32_t>(i);
        }
    }
    return base;
}
