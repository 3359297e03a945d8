#include "platform/lab/lab_ageing.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "platform/lab/lab_bench.h"
#include "platform/lab/lab_controller.h"
#include "platform/lab/lab_flash_model.h"

namespace platform::lab {
namespace {

constexpr double kMaxAgeHours = 1e6;

/// The number in `text`, which must hold it and nothing else.
bool ParseNumber(const std::string& text, double* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    *value = std::strtod(text.c_str(), &end);
    return errno == 0 && end == text.c_str() + text.size() && std::isfinite(*value);
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

/// Ages one drive's state file; false with the reason in *error.
bool AgeDrive(const BenchDrive& drive, const LabOptions& options, std::ostream& report,
              std::string* error) {
    ControllerState state;
    if (LoadControllerState(drive.statePath, &state, error) < 0) return false;
    const double factor = RetentionAcceleration(drive.wear.flash.activationEv, options.celsius);
    state.clockSeconds += options.hours * 3600.0 * factor;
    if (!SaveControllerState(drive.statePath, state)) {
        *error = drive.statePath + ": cannot write the drive state";
        return false;
    }
    report << "Lab drive " << drive.number << " aged " << options.hours << " h at "
           << options.celsius << " C: " << options.hours * factor << " h at " << kReferenceCelsius
           << " C\n";
    return true;
}

}  // namespace

bool TakeLabOptions(std::vector<std::string>* args, LabOptions* options, std::string* error) {
    bool celsiusGiven = false;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args->size(); ++i) {
        const std::string& arg = (*args)[i];
        const bool age = arg == "--lab-age", celsius = arg == "--lab-celsius";
        if (!age && !celsius) {
            rest.push_back(arg);
            double number = 0;
            if (arg == "--drive" && i + 1 < args->size() && ParseNumber((*args)[i + 1], &number) &&
                number >= 0 && number <= 255 && number == std::floor(number)) {
                options->anyDrive = false;
                options->driveNumber = static_cast<std::uint32_t>(number);
            }
            continue;
        }
        double value = 0;
        const bool present = i + 1 < args->size() && ParseNumber((*args)[i + 1], &value);
        if (age && (!present || !(value > 0 && value <= kMaxAgeHours))) {
            *error = "--lab-age needs a number of hours above 0, at most 1000000";
            return false;
        }
        if (celsius && (!present || value < -40 || value > 150)) {
            *error = "--lab-celsius needs a temperature from -40 to 150 (degrees Celsius)";
            return false;
        }
        if (age) {
            options->age = true;
            options->hours = value;
        } else {
            celsiusGiven = true;
            options->celsius = value;
        }
        ++i;
    }
    if (celsiusGiven && !options->age) {
        *error = "--lab-celsius goes with --lab-age";
        return false;
    }
    *args = rest;
    return true;
}

bool AgeDrives(const LabOptions& options, std::string* report, std::string* error) {
    Bench bench;
    if (!LoadBench(&bench, error)) return false;
    std::ostringstream lines;
    if (!options.anyDrive) {
        const BenchDrive* drive = FindDrive(bench, options.driveNumber);
        if (drive == nullptr) {
            *error = "drive " + std::to_string(options.driveNumber) + " is not on the bench";
            return false;
        }
        if (!FileExists(drive->statePath)) {
            *error =
                "drive " + std::to_string(drive->number) + " has not been used yet: nothing to age";
            return false;
        }
        if (!AgeDrive(*drive, options, lines, error)) return false;
    } else {
        for (const BenchDrive& drive : bench.drives)
            if (FileExists(drive.statePath) && !AgeDrive(drive, options, lines, error))
                return false;
    }
    *report = lines.str();
    if (report->empty()) *report = "Lab: no drive has been used yet: nothing to age\n";
    return true;
}

}  // namespace platform::lab
