// Option parsing: what each accepted line asks for, and that every bad or
// contradictory line is refused (exit code 2 at the entry).
#include "console/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Action = CommandLine::Action;
using Args = std::vector<std::string>;

TEST(CommandLineParsing, AcceptedLinesGiveTheirActionAndSettings) {
    EXPECT_EQ(ParseCommandLine({}).action, Action::Dialogue);
    EXPECT_EQ(ParseCommandLine({"--help"}).action, Action::Help);
    EXPECT_EQ(ParseCommandLine({"--drive", "1", "-h"}).action, Action::Help);
    EXPECT_EQ(ParseCommandLine({"--version"}).action, Action::Version);
    EXPECT_EQ(ParseCommandLine({"--list"}).action, Action::List);

    const CommandLine write = ParseCommandLine(
        {"--drive", "4294967295", "--aec-target=3000", "--dir", "d", "--shared-dir", "s"});
    EXPECT_EQ(write.action, Action::Test);
    EXPECT_FALSE(write.bySerial);
    EXPECT_EQ(write.driveNumber, 4294967295u);
    EXPECT_FALSE(write.readOnly);
    EXPECT_EQ(write.aecTarget, 3000u);
    EXPECT_EQ(write.filesFolder, "d");
    EXPECT_EQ(write.sharedFolder, "s");
    EXPECT_TRUE(write.viewer);
    EXPECT_EQ(write.queueDepth, 0u) << "not given";

    const CommandLine read = ParseCommandLine({"--read-only", "--serial", "AB 12", "--no-viewer"});
    EXPECT_TRUE(read.bySerial);
    EXPECT_EQ(read.serial, "AB 12");
    EXPECT_TRUE(read.readOnly);
    EXPECT_FALSE(read.viewer);
    EXPECT_TRUE(read.filesFolder.empty());

    for (const char* depth : {"1", "64"})
        EXPECT_EQ(
            ParseCommandLine({"--read-only", "--drive", "1", "--queue-depth", depth}).queueDepth,
            std::stoul(depth));
}

TEST(CommandLineParsing, RefusesUnknownMalformedAndContradictoryLines) {
    const std::vector<Args> refused = {
        {"--bogus"},
        {"extra"},
        {"--drive", "1"},                                      // no test
        {"--aec-target", "3"},                                 // no drive
        {"--no-viewer"},                                       // neither
        {"--drive", "1", "--serial", "X", "--read-only"},      // two drives
        {"--drive", "1", "--aec-target", "3", "--read-only"},  // two tests
        {"--drive", "1", "--drive", "2", "--read-only"},       // repeated
        {"--list", "--drive", "1"},
        {"--list", "--dir", "d"},
        {"--drive", "-1", "--read-only"},
        {"--drive", "0x10", "--read-only"},
        {"--drive", "1", "--aec-target", "4294967296"},
        {"--drive", "1", "--aec-target", "3e3"},
        {"--drive"},  // value missing
        {"--serial", "", "--read-only"},
        {"--drive", "1", "--read-only", "--dir", ""},
        {"--drive", "1", "--read-only", "--queue-depth", "0"},
        {"--drive", "1", "--read-only", "--queue-depth", "65"},
        {"--drive", "1", "--read-only", "--queue-depth", "+4"},
        {"--list", "--queue-depth", "4"},
    };
    for (const Args& args : refused) {
        std::string line;
        for (const std::string& arg : args) line += arg + " ";
        EXPECT_THROW(ParseCommandLine(args), CommandLineError) << line;
    }
}

TEST(CommandLineUsage, NamesTheProgramEveryOptionAndTheExitCodes) {
    const std::string usage = CommandLineUsage("ssdtest-lab");
    for (const char* text :
         {"ssdtest-lab", "--list", "--drive", "--serial", "--aec-target", "--read-only", "--dir",
          "--shared-dir", "--no-viewer", "--queue-depth", "--version", "Exit codes"}) {
        EXPECT_NE(usage.find(text), std::string::npos) << text;
    }
}

}  // namespace
