#include "console/scripted_run.h"

#include <exception>
#include <iostream>
#include <memory>

#include "console/drive_list.h"
#include "console/run_driver.h"
#include "engine/drive_refusal.h"
#include "platform/console.h"
#include "platform/process.h"
#include "smart/trace_stream.h"
#include "status/cnvme_status.h"
#include "text/operator_output.h"
#include "tracking/run_notes.h"

namespace {

std::wstring ExistingFolder(const std::string& option, const std::string& argument) {
    std::wstring folder = platform::PathFromArgument(argument);
    if (!platform::PathExists(folder))
        throw CommandLineError(option + ": no such folder: " + argument);
    return folder;
}

int ListDrivesToConsole() {
    for (const ListedDrive& drive : ListDrives()) OutWide(DriveListLine(drive) + L"\n");
    return kExitFinished;
}

void PrintSummary(const CSSDTest& test) {
    if (!test.tally.started) return;
    const std::string summary = RunSummaryLine(test);
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

int RunOneTest(const CommandLine& line) {
    auto test = std::make_unique<CSSDTest>();
    if (!line.filesFolder.empty()) test->filesFolder = ExistingFolder("--dir", line.filesFolder);
    if (!line.sharedFolder.empty())
        test->sharedFolder = ExistingFolder("--shared-dir", line.sharedFolder);
    test->viewerEnabled = line.viewer;
    const std::uint32_t driveNumber =
        line.bySerial ? DriveNumberBySerial(ListDrives(), line.serial) : line.driveNumber;

    // Keys typed on a terminal still end the round or abandon the test.
    platform::EnterKeyMode();
    const int code = Guarded([&] {
        const RunEnd end = RunTest(driveNumber, line.aecTarget, line.readOnly, *test);
        if (end == RunEnd::kFailed) return kExitFailed;
        return end == RunEnd::kAbandoned ? kExitAbandoned : kExitFinished;
    });
    platform::LeaveKeyMode();
    PrintSummary(*test);
    return code;
}

}  // namespace

int RunCommandLine(const CommandLine& line) {
    platform::InitConsole();
    SetRatedPeCycles(line.ratedPeCycles);
    return Guarded([&] {
        return line.action == CommandLine::Action::List ? ListDrivesToConsole() : RunOneTest(line);
    });
}
