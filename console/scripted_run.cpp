#include "console/scripted_run.h"

#include <ctime>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <system_error>

#include "console/drive_list.h"
#include "console/drive_verdict.h"
#include "console/json_output.h"
#include "console/run_driver.h"
#include "console/scripted_outputs.h"
#include "engine/drive_refusal.h"
#include "platform/console.h"
#include "platform/process.h"
#include "smart/trace_stream.h"
#include "status/cnvme_status.h"
#include "text/operator_output.h"
#include "text/printable_text.h"
#include "tracking/run_figures.h"
#include "tracking/run_notes.h"

namespace {

std::wstring ExistingFolder(const std::string& option, const std::string& argument) {
    std::wstring folder = platform::PathFromArgument(argument);
    if (!platform::PathExists(folder))
        throw CommandLineError(option + ": no such folder: " + PrintableText(argument));
    std::error_code error;
    if (!std::filesystem::is_directory(platform::FilePath(folder), error))
        throw CommandLineError(option + ": not a folder: " + PrintableText(argument));
    return folder;
}

int ListDrivesToConsole(bool json) {
    // A drive that does not answer is listed with its line and fails the list.
    const std::vector<ListedDrive> drives = ListDrives();
    int code = kExitFinished;
    for (const ListedDrive& drive : drives)
        if (!drive.answered) code = kExitFailed;
    if (json) {
        Out() << JsonText(DriveListJson(drives, DriveKind)) << std::flush;
        return code;
    }
    for (const ListedDrive& drive : drives) OutWide(DriveListLine(drive) + L"\n");
    return code;
}

void PrintSummary(const CSSDTest& test) {
    if (!test.tally.started) return;
    const std::string summary = RunSummaryLine(BuildRunFigures(test, std::time(nullptr)));
    Out() << summary << std::endl;
    TraceNote(platform::TraceLevel::Info, summary);
}

// Runs `step`, turning its failure into the exit code after printing the
// failure line; bad option values still leave as CommandLineError.
template <typename Step>
int Guarded(Step step) {
    try {
        return step();
    } catch (const CommandLineError&) {
        throw;
    } catch (const DriveRefusal& refusal) {
        std::cerr << RefusalText(refusal) << std::endl;
        return kExitRefused;
    } catch (const std::exception& failure) {
        std::cerr << failure.what() << std::endl;
        return kExitFailed;
    }
}

// The drive's number; a serial that names no drive is kept as the run's
// refusal for the JSON summary.
std::uint32_t DriveNumberFor(const CommandLine& line, CSSDTest& test) {
    if (!line.bySerial) return line.driveNumber;
    try {
        return DriveNumberBySerial(ListDrives(), line.serial);
    } catch (const DriveRefusal& refusal) {
        test.state = RunState::kRefused;
        test.stateReason = RefusalText(refusal);
        throw;
    }
}

int RunOneTest(const CommandLine& line) {
    auto test = std::make_unique<CSSDTest>();
    if (!line.filesFolder.empty()) test->filesFolder = ExistingFolder("--dir", line.filesFolder);
    if (!line.sharedFolder.empty())
        test->sharedFolder = ExistingFolder("--shared-dir", line.sharedFolder);
    if (!line.metricsFolder.empty())
        test->outputs.metricsFolder = ExistingFolder("--metrics-dir", line.metricsFolder);
    test->viewerEnabled = line.viewer;
    test->queueDepth = line.queueDepth;
    ScriptedOutputs outputs(line.json, test->outputs);

    // Keys typed on a terminal still end the round or abandon the test; a
    // pipe, a file or the null device on standard input belongs to the
    // calling script and is never read.
    const bool readKeys = platform::InputIsTerminal();
    if (readKeys) platform::EnterKeyMode();
    const int code = Guarded([&] {
        const platform::DriveNumber driveNumber = DriveNumberFor(line, *test);
        try {
            const RunEnd end = RunTest(driveNumber, line.aecTarget, line.readOnly, *test, readKeys);
            if (end == RunEnd::kFailed) return kExitFailed;
            return end == RunEnd::kAbandoned ? kExitAbandoned : kExitFinished;
        } catch (const DriveRefusal& refusal) {
            if (!refusal.reason().empty()) throw;
            throw DriveRefusal(refusal.what(), RefusalReason(driveNumber));
        }
    });
    if (readKeys) platform::LeaveKeyMode();
    PrintSummary(*test);
    if (line.json) outputs.PrintJson(SummaryJson(BuildRunFigures(*test, std::time(nullptr)), code));
    return code;
}

}  // namespace

int RunCommandLine(const CommandLine& line) {
    platform::InitConsole();
    SetRatedPeCycles(line.ratedPeCycles);
    return Guarded([&] {
        return line.action == CommandLine::Action::List ? ListDrivesToConsole(line.json)
                                                        : RunOneTest(line);
    });
}
