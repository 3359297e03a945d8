// Stand-in for the companion viewer on the lab: a small console program that
// answers the tester's key strokes the way the viewer does. It asks for a
// drive number and two menu answers ("2", then "3" exports), shows a screen
// about the drive, writes drive<N>_<serial>_bank.csv and
// drive<N>_<serial>_block.csv into its current folder, then asks twice more
// ("4" goes back, "0" ends). It ends after "0", at the end of its input, when
// its terminal hangs up, or after waiting 120 s at a prompt without an answer
// (so that a viewer whose tester died does not stay for ever).
//
// The drive's model, serial number and size come from the lab bench file
// ssdlab.json in $SSDLAB_DIR, else in the folder the stand-in was started from.
//
// Environment options (any value other than empty or "0" switches them on):
//   GAUGELENS_STANDIN_NO_START  exit at once, before showing anything
//   GAUGELENS_STANDIN_HANG      never end: ignore hang-ups, stay after the last answer
//   GAUGELENS_STANDIN_NO_BANK   do not write the bank file
//   GAUGELENS_STANDIN_NO_BLOCK  do not write the block file
//   GAUGELENS_STANDIN_SERIAL    serial number to use instead of the bench's
//   GAUGELENS_STANDIN_IDLE_SECONDS  wait at a prompt this long (default 120, 0: for ever)
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

namespace {

constexpr int kBanks = 8;
constexpr int kBlocksPerBank = 16;

struct DriveFacts {
    std::string model = "(not on the bench)";
    std::string serial = "UNKNOWN";
    std::string firmware = "-";
    std::int64_t sizeMib = 0;
};

bool Option(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' && std::string(value) != "0";
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

/// Folder of the bench file: $SSDLAB_DIR, else the folder of argv[0], else
/// the folder of the executable.
std::string BenchFolder(const char* argv0) {
    const char* lab = std::getenv("SSDLAB_DIR");
    if (lab != nullptr && *lab != '\0') return lab;
    std::string self = argv0 != nullptr ? argv0 : "";
    if (self.find('/') == std::string::npos) {
        char path[4096] = {};
        const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
        self = n > 0 ? std::string(path, static_cast<std::size_t>(n)) : "./x";
    }
    return self.substr(0, self.find_last_of('/'));
}

DriveFacts LookUpDrive(const std::string& benchFolder, unsigned driveNumber) {
    DriveFacts facts;
    std::ifstream file(benchFolder + "/ssdlab.json");
    if (file) {
        const nlohmann::json bench = nlohmann::json::parse(file, nullptr, false);
        if (bench.is_object() && bench.contains("drives") && bench["drives"].is_array()) {
            for (const auto& drive : bench["drives"]) {
                if (!drive.is_object() ||
                    drive.value("number", -1) != static_cast<int>(driveNumber))
                    continue;
                facts.model = Trimmed(drive.value("model", facts.model));
                facts.serial = Trimmed(drive.value("serial", facts.serial));
                facts.firmware = Trimmed(drive.value("firmware", facts.firmware));
                facts.sizeMib = drive.value("size_mib", std::int64_t{0});
            }
        }
    }
    const char* serial = std::getenv("GAUGELENS_STANDIN_SERIAL");
    if (serial != nullptr && *serial != '\0') facts.serial = serial;
    return facts;
}

/// Erase count of one block: fixed per serial number, so screens and files
/// agree from one run to the next.
std::uint32_t EraseCount(const std::string& serial, int block) {
    std::uint32_t hash = 2166136261u;
    for (const char c : serial) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    hash = (hash ^ static_cast<std::uint32_t>(block)) * 16777619u;
    return 10 + hash % 40;
}

/// Ends the program, unless it was asked to hang: then it waits for ever.
[[noreturn]] void Finish() {
    if (Option("GAUGELENS_STANDIN_HANG")) {
        for (;;) pause();
    }
    std::exit(0);
}

/// On a terminal, answers typed ahead of their prompt are echoed by the
/// program after the prompt rather than by the terminal when they arrive, so
/// the screen reads like a dialogue.
bool EchoAnswersItself() {
    termios mode{};
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &mode) != 0) return false;
    mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    return tcsetattr(STDIN_FILENO, TCSANOW, &mode) == 0;
}

bool echoAnswers = false;

/// Waits until an answer line can be read; false when none came in time.
bool AnswerArrives() {
    const char* setting = std::getenv("GAUGELENS_STANDIN_IDLE_SECONDS");
    const long seconds = setting != nullptr && *setting != '\0' ? std::atol(setting) : 120;
    if (seconds <= 0 || std::cin.rdbuf()->in_avail() > 0) return true;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    int ready;
    while ((ready = poll(&input, 1, static_cast<int>(seconds * 1000))) < 0 && errno == EINTR) {
    }
    return ready != 0;  // an error shows up as the end of the input
}

std::string Ask(const std::string& prompt) {
    std::cout << prompt << std::flush;
    std::string answer;
    if (!AnswerArrives()) {
        std::cout << std::endl << "No answer, giving up." << std::endl;
        std::exit(0);
    }
    if (!std::getline(std::cin, answer)) Finish();
    if (!answer.empty() && answer.back() == '\r') answer.pop_back();
    if (echoAnswers) std::cout << answer << std::endl;
    return Trimmed(answer);
}

unsigned AskDriveNumber() {
    for (;;) {
        const std::string answer = Ask("Drive Number : ");
        if (!answer.empty() && answer.size() <= 3 &&
            answer.find_first_not_of("0123456789") == std::string::npos)
            return static_cast<unsigned>(std::stoul(answer));
        std::cout << "Invalid drive number." << std::endl;
    }
}

/// Lowest, highest and average erase count of one bank's blocks.
struct BankSummary {
    std::uint32_t low = ~0u, high = 0, average = 0;
};

BankSummary SummariseBank(const DriveFacts& facts, int bank) {
    BankSummary summary;
    std::uint32_t sum = 0;
    for (int block = 0; block < kBlocksPerBank; ++block) {
        const std::uint32_t count = EraseCount(facts.serial, bank * kBlocksPerBank + block);
        summary.low = std::min(summary.low, count);
        summary.high = std::max(summary.high, count);
        sum += count;
    }
    summary.average = sum / kBlocksPerBank;
    return summary;
}

void WriteBankFile(const std::string& name, const DriveFacts& facts) {
    std::ofstream file(name, std::ios::binary);
    file << "Bank,Blocks,Min Erase Count,Max Erase Count,Average Erase Count\r\n";
    for (int bank = 0; bank < kBanks; ++bank) {
        const BankSummary summary = SummariseBank(facts, bank);
        file << bank << ',' << kBlocksPerBank << ',' << summary.low << ',' << summary.high << ','
             << summary.average << "\r\n";
    }
}

void WriteBlockFile(const std::string& name, const DriveFacts& facts) {
    std::ofstream file(name, std::ios::binary);
    file << "Block,Bank,Erase Count\r\n";
    for (int block = 0; block < kBanks * kBlocksPerBank; ++block)
        file << block << ',' << block / kBlocksPerBank << ',' << EraseCount(facts.serial, block)
             << "\r\n";
}

void ShowDrive(unsigned driveNumber, const DriveFacts& facts) {
    std::cout << "Drive " << driveNumber << " : " << facts.model << "\n"
              << "  Serial Number : " << facts.serial << "\n"
              << "  Firmware      : " << facts.firmware << "\n"
              << "  Capacity      : " << facts.sizeMib << " MiB\n"
              << "  Bank  Min  Max  Avg\n";
    for (int bank = 0; bank < kBanks; ++bank) {
        const BankSummary summary = SummariseBank(facts, bank);
        std::cout << "  " << std::setw(4) << bank << std::setw(5) << summary.low << std::setw(5)
                  << summary.high << std::setw(5) << summary.average << "\n";
    }
    std::cout << std::flush;
}

void Export(unsigned driveNumber, const DriveFacts& facts) {
    const std::string stem = "drive" + std::to_string(driveNumber) + "_" + facts.serial;
    if (!Option("GAUGELENS_STANDIN_NO_BANK")) WriteBankFile(stem + "_bank.csv", facts);
    if (!Option("GAUGELENS_STANDIN_NO_BLOCK")) WriteBlockFile(stem + "_block.csv", facts);
    std::cout << "Exported " << stem << "_bank.csv, " << stem << "_block.csv" << std::endl;
}

}  // namespace

int main(int /*argc*/, char** argv) {
    if (Option("GAUGELENS_STANDIN_NO_START")) return 0;
    if (Option("GAUGELENS_STANDIN_HANG")) std::signal(SIGHUP, SIG_IGN);

    echoAnswers = EchoAnswersItself();
    std::cout << "GaugeLens 2.21 (lab stand-in)" << std::endl;
    const unsigned driveNumber = AskDriveNumber();
    const DriveFacts facts = LookUpDrive(BenchFolder(argv[0]), driveNumber);
    const bool flashView = Ask("1: Summary  2: Flash View : ") == "2";
    const bool exportCsv = flashView && Ask("1: Screen  3: Screen and CSV : ") == "3";
    ShowDrive(driveNumber, facts);
    if (exportCsv) {
        Export(driveNumber, facts);
    } else {
        std::cout << "Nothing exported." << std::endl;
    }
    for (;;) {
        const std::string answer = Ask("4: Back  0: Exit : ");
        if (answer == "0") Finish();
    }
}
