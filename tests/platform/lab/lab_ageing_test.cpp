// The lab's own command line options and the refusals of ageing.
#include "platform/lab/lab_ageing.h"

#include "tests/platform/lab/lab_test_support.h"

namespace {

using platform::lab::AgeDrives;
using platform::lab::LabOptions;
using platform::lab::TakeLabOptions;

class LabAgeing : public labtest::LabFixture {};

TEST_F(LabAgeing, LabOptionsLeaveTheTestersOwnAndRefuseBadValues) {
    std::vector<std::string> args = {"--lab-age",     "500", "--drive",    "1",
                                     "--lab-celsius", "40",  "--read-only"};
    LabOptions options;
    std::string error;
    ASSERT_TRUE(TakeLabOptions(&args, &options, &error)) << error;
    EXPECT_EQ(args, (std::vector<std::string>{"--drive", "1", "--read-only"}));
    EXPECT_TRUE(options.age);
    EXPECT_EQ(options.hours, 500);
    EXPECT_EQ(options.celsius, 40);
    EXPECT_FALSE(options.anyDrive);
    EXPECT_EQ(options.driveNumber, 1u);

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--lab-age"},
                                                {"--lab-age", "0"},
                                                {"--lab-age", "5h"},
                                                {"--lab-age", "nan"},
                                                {"--lab-age", "1", "--lab-celsius", "400"},
                                                {"--lab-celsius", "40"}}) {
        std::vector<std::string> copy = bad;
        LabOptions ignored;
        error.clear();
        EXPECT_FALSE(TakeLabOptions(&copy, &ignored, &error)) << bad.size();
        EXPECT_EQ(error.find('\n'), std::string::npos);
        EXPECT_FALSE(error.empty());
    }
}

TEST_F(LabAgeing, DrivesNotOnTheBenchOrNeverUsedAreNotAged) {
    WriteOneDriveBench("kvt", 4);
    LabOptions options;
    options.age = true;
    options.hours = 10;
    options.anyDrive = false;
    std::string report, error;
    options.driveNumber = 2;
    EXPECT_FALSE(AgeDrives(options, &report, &error));
    EXPECT_EQ(error, "drive 2 is not on the bench");
    options.driveNumber = 1;
    EXPECT_FALSE(AgeDrives(options, &report, &error));
    EXPECT_EQ(error, "drive 1 has not been used yet: nothing to age");
    EXPECT_FALSE(std::filesystem::exists(Path("lab_drive1.state")));  // nothing made
}

}  // namespace
