// Ageing lab drives between runs: their clocks advance as if they had been
// stored, powered off, for some hours at some temperature.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/drive_number.h"

namespace platform::lab {

/// The lab's own options, taken off the command line before the tester sees it.
struct LabOptions {
    bool age = false;      ///< --lab-age given
    double hours = 0.0;    ///< --lab-age HOURS
    double celsius = 30;   ///< --lab-celsius T
    bool anyDrive = true;  ///< no --drive N: every drive of the bench
    platform::DriveNumber driveNumber = 0;
};

/// Removes --lab-age HOURS and --lab-celsius T from `args` (the arguments
/// after the program name) into *options and notes the tester's --drive N.
/// False with a one-line reason in *error when a lab option is malformed.
bool TakeLabOptions(std::vector<std::string>* args, LabOptions* options, std::string* error);

/// Ages the drives the options name (each drive of the bench that has been
/// used when no number is given): their clocks advance by the hours at the
/// temperature, scaled to the reference temperature by the drive's
/// activation energy. One line per drive aged in *report. False with a
/// one-line reason in *error when the bench is invalid, the drive is not on
/// it or has never been used, or its state cannot be read or written.
bool AgeDrives(const LabOptions& options, std::string* report, std::string* error);

}  // namespace platform::lab
