// Test fixture: a context whose result log is named, as a run names it, after
// a drive number and a model, in a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/test_context.h"
#include "tests/support/scratch.h"
#include "tracking/result_log.h"

class NamedLogFixture : public ::testing::Test {
protected:
    NamedLogFixture(std::int32_t driveNumber, const std::string& model) {
        test.currentStatus->DriveNumber = driveNumber;
        test.currentStatus->Model = model;
        test.resultLogPath = ResultLogName(*test.currentStatus, scratch.wide());
    }

    std::filesystem::path LogFile() const {
        return scratch.path() / ("drive" + std::to_string(test.currentStatus->DriveNumber) + "_" +
                                 test.currentStatus->Model + ".csv");
    }

    test_support::ScratchFolder scratch;
    CSSDTest test;
};
