// A run chosen on the command line: the drive list or one test without the
// dialogue's prompts and final wait.
#pragma once

#include "console/command_line.h"

/// Exit codes of command line runs.
enum ExitCode : int {
    kExitFinished = 0,   ///< ran to its end (bit errors included)
    kExitFailed = 1,     ///< any other failure
    kExitUsage = 2,      ///< unknown or contradictory options
    kExitAbandoned = 3,  ///< a key or a signal abandoned the test
    kExitRefused = 4,    ///< the drive was refused
};

/// Runs a List or Test command line; returns its exit code. Prints the
/// failure line on the error stream. Throws CommandLineError for a folder
/// option that names no folder.
int RunCommandLine(const CommandLine& line);
