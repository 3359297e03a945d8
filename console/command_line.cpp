#include "console/command_line.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <utility>

#include "text/printable_text.h"

namespace {

// Drive numbers and targets are plain decimal numbers: no sign, no octal or
// hexadecimal forms, at most 32 bits.
const CLI::Validator kDecimal32(
    [](std::string& text) -> std::string {
        const bool digits =
            !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
        if (digits && text.size() <= 10 && std::stoull(text) <= 0xFFFFFFFFull) return "";
        return "'" + text + "' is not a decimal number from 0 to 4294967295";
    },
    "", "decimal");

// Transfers in flight: 1 to 64, plain decimal.
const CLI::Validator kQueueDepth(
    [](std::string& text) -> std::string {
        const bool digits = !text.empty() && text.size() <= 2 &&
                            text.find_first_not_of("0123456789") == std::string::npos;
        if (digits && std::stoul(text) >= 1 && std::stoul(text) <= 64) return "";
        return "'" + text + "' is not a queue depth from 1 to 64";
    },
    "", "depth");

struct Fields {
    CommandLine line;
    std::string drive;
    std::string aecTarget;
    std::string ratedPeCycles;
    bool list = false;
    bool noViewer = false;
};

std::unique_ptr<CLI::App> MakeApp(const std::string& programName, Fields& fields) {
    auto app = std::make_unique<CLI::App>(
        "Endurance test of a solid-state drive. Without options the program asks for the "
        "drive and the test in a dialogue.",
        programName);
    app->set_version_flag("--version", "", "Show the version and the source commit, then exit");
    app->add_flag("--list", fields.list, "List the drives and whether they would be tested");
    app->add_option("--drive", fields.drive, "Test drive number N")
        ->type_name("N")
        ->check(kDecimal32);
    app->add_option("--serial", fields.line.serial,
                    "Test the drive whose IDENTIFY serial number is S (stable across reboots)")
        ->type_name("S");
    app->add_option("--aec-target", fields.aecTarget,
                    "Write test, round after round, up to average erase count T")
        ->type_name("T")
        ->check(kDecimal32);
    app->add_flag("--read-only", fields.line.readOnly,
                  "Read-only test against the last pattern written");
    app->add_option("--dir", fields.line.filesFolder,
                    "Folder of the result log, the dump files and the viewer captures "
                    "(default: the program's folder; once installed /var/lib/ssdtest, or "
                    "the user's data folder for the lab)")
        ->type_name("DIR");
    app->add_option("--shared-dir", fields.line.sharedFolder,
                    "Folder the result log is copied to after every round")
        ->type_name("DIR");
    app->add_flag("--no-viewer", fields.noViewer, "Do not run the companion viewer");
    app->add_option("--queue-depth", fields.line.queueDepth,
                    "Keep N transfers in flight, 1 to 64 (default: one at a time)")
        ->type_name("N")
        ->check(kQueueDepth);
    app->add_flag("--json", fields.line.json,
                  "With --list: the drives as one JSON document; with a test: the summary as "
                  "one JSON object on standard output, the other lines on standard error");
    app->add_option("--metrics-dir", fields.line.metricsFolder,
                    "Folder of the Prometheus textfile ssdtest_<serial>.prom, kept up to date "
                    "during the test (the node exporter's textfile collector folder)")
        ->type_name("DIR");
    app->add_option("--rated-pe-cycles", fields.ratedPeCycles,
                    "Rated P/E cycles of an NVMe drive: its erase count is then percentage "
                    "used x C / 100 where it reports no erase counts")
        ->type_name("C")
        ->check(kDecimal32);

    app->footer(
        "With a drive and a test: no prompt and no final wait; on a terminal \"e\" ends the "
        "test after the current round and any other key abandons it (piped or redirected "
        "input is never read).\n"
        "Exit codes: 0 the test ran to its end (bit errors are in the log), 1 failure (also a "
        "test that ended itself: SMART lost, log or records not written), 2 bad options, "
        "3 abandoned, 4 drive refused.");
    return app;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    Fields fields;
    if (args.empty()) return fields.line;
    std::unique_ptr<CLI::App> app = MakeApp("ssdtest", fields);
    try {
        // CLI11 takes the arguments in reverse order.
        app->parse(std::vector<std::string>(args.rbegin(), args.rend()));
    } catch (const CLI::CallForHelp&) {
        fields.line.action = CommandLine::Action::Help;
        return fields.line;
    } catch (const CLI::CallForVersion&) {
        fields.line.action = CommandLine::Action::Version;
        return fields.line;
    } catch (const CLI::ParseError& error) {
        // The message echoes what was typed: shown as printable text only.
        throw CommandLineError(PrintableText(error.what()));
    }

    CommandLine& line = fields.line;
    if (!fields.ratedPeCycles.empty())
        line.ratedPeCycles = static_cast<std::uint32_t>(std::stoul(fields.ratedPeCycles));
    const auto given = [&app](const char* name) { return app->count(name) > 0; };
    if (fields.list) {
        for (const char* other :
             {"--drive", "--serial", "--aec-target", "--read-only", "--dir", "--shared-dir",
              "--no-viewer", "--queue-depth", "--metrics-dir"}) {
            if (given(other)) throw CommandLineError(std::string("--list takes no ") + other);
        }
        line.action = CommandLine::Action::List;
        return line;
    }
    if (given("--drive") && given("--serial"))
        throw CommandLineError("give the drive once: --drive N or --serial S");
    if (given("--aec-target") && line.readOnly)
        throw CommandLineError("give one test: --aec-target T or --read-only");
    if (!given("--drive") && !given("--serial"))
        throw CommandLineError("choose a drive with --drive N or --serial S, or --list");
    if (!given("--aec-target") && !line.readOnly)
        throw CommandLineError("choose a test with --aec-target T or --read-only");
    const std::pair<const char*, const std::string*> texts[] = {
        {"--serial", &line.serial},
        {"--dir", &line.filesFolder},
        {"--shared-dir", &line.sharedFolder},
        {"--metrics-dir", &line.metricsFolder}};
    for (const auto& text : texts) {
        if (given(text.first) && text.second->empty())
            throw CommandLineError(std::string(text.first) + " is empty");
    }

    line.action = CommandLine::Action::Test;
    line.bySerial = fields.drive.empty();
    if (!line.bySerial) line.driveNumber = static_cast<std::uint32_t>(std::stoul(fields.drive));
    if (!line.readOnly) line.aecTarget = static_cast<std::uint32_t>(std::stoul(fields.aecTarget));
    line.viewer = !fields.noViewer;
    return line;
}

std::string CommandLineUsage(const std::string& programName) {
    Fields unused;
    return MakeApp(programName, unused)->help();
}
