#include "console/console_main.h"

#include <exception>
#include <iostream>
#include <memory>

#include "console/build_version.h"
#include "console/command_line.h"
#include "console/drive_menu.h"
#include "console/prompts.h"
#include "console/run_driver.h"
#include "console/scripted_run.h"
#include "engine/drive_refusal.h"
#include "platform/console.h"
#include "text/operator_output.h"

namespace {

// Discards keys typed so far, then waits for a fresh one (not read). Ends at
// once when the console input has ended.
void FinalWait() {
    platform::EnterKeyMode();
    while (platform::KeyWaiting()) platform::ReadKey();
    Out() << "Press Any Key To Finish." << std::endl;
    while (!platform::KeyWaiting() && !platform::InputEnded()) platform::SleepMs(100);
    platform::LeaveKeyMode();
}

void RunDialogue(std::unique_ptr<CSSDTest>& test) {
    PrintDriveMenu();
    const platform::DriveNumber driveNumber = AskNumber(std::cin, Out(), "Input Drive Number: ");
    const bool readOnly = AskReadOnly(std::cin, Out());
    std::uint32_t aecTarget = 0;
    if (!readOnly) aecTarget = AskNumber(std::cin, Out(), "Input Average Erase Count Target: ");
    DiscardRestOfAnswerLine(std::cin);

    test = std::make_unique<CSSDTest>();
    platform::EnterKeyMode();
    RunTest(driveNumber, aecTarget, readOnly, *test);
}

// The program's file name without its folder.
std::string ProgramName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.empty() ? "ssdtest" : name;
}

}  // namespace

int ConsoleMain() {
    platform::InitConsole();
    std::unique_ptr<CSSDTest> test;
    try {
        RunDialogue(test);
    } catch (const DriveRefusal& refusal) {
        Out() << RefusalText(refusal) << std::endl;
    } catch (const std::exception& failure) {
        Out() << failure.what() << std::endl;
    }
    test.reset();  // closes the drive, the port and the log on both paths
    FinalWait();
    return 0;
}

int ConsoleMain(const std::vector<std::string>& argv) {
    if (argv.size() <= 1) return ConsoleMain();
    const std::string program = ProgramName(argv.front());
    try {
        const CommandLine line = ParseCommandLine({argv.begin() + 1, argv.end()});
        switch (line.action) {
            case CommandLine::Action::Help:
                Out() << CommandLineUsage(program);
                return kExitFinished;
            case CommandLine::Action::Version:
                Out() << program << " " << BuildVersion() << std::endl;
                return kExitFinished;
            default:
                return RunCommandLine(line);
        }
    } catch (const CommandLineError& error) {
        std::cerr << program << ": " << error.what() << "\n" << CommandLineUsage(program);
        return kExitUsage;
    }
}
