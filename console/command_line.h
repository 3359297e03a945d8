// The command line of scripted and service runs: what to do and with which
// drive, folders and viewer. Without arguments the program runs its dialogue.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/drive_number.h"

struct CommandLine {
    enum class Action { Dialogue, Help, Version, List, Test };
    Action action = Action::Dialogue;

    bool bySerial = false;                  ///< the drive is named by serial, not by number
    platform::DriveNumber driveNumber = 0;  ///< with --drive
    std::string serial;                     ///< with --serial: the drive's IDENTIFY serial
    bool readOnly = false;                  ///< --read-only, else the write test up to aecTarget
    std::uint32_t aecTarget = 0;
    std::string filesFolder;          ///< --dir; empty: the program's folder
    std::string sharedFolder;         ///< --shared-dir; empty: the usual shared folder
    bool viewer = true;               ///< false with --no-viewer
    std::uint32_t queueDepth = 0;     ///< --queue-depth, 1 to 64; 0: not given
    bool json = false;                ///< --json: the drive list or the summary as JSON
    std::string metricsFolder;        ///< --metrics-dir: folder of the Prometheus textfile
    std::uint32_t ratedPeCycles = 0;  ///< --rated-pe-cycles; 0: not given
};

/// An unknown, malformed or contradictory option; what() is one line.
struct CommandLineError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Parses the arguments that follow the program name. No arguments give the
/// dialogue. Throws CommandLineError.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

/// The usage text (several lines, ending in a line feed) for `programName`.
std::string CommandLineUsage(const std::string& programName);
