#include "tracking/result_log.h"

#include <algorithm>
#include <boost/lexical_cast.hpp>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "engine/run_folders.h"
#include "platform/process.h"
#include "smart/process_utils.h"
#include "text/operator_output.h"
#include "tracking/drive_check.h"
#include "viewer/gauge_lens.h"

namespace {

// The two verification counters follow the status columns and the six rate
// columns of a log line.
constexpr int kRateColumns = 6;

// The model text becomes part of a file name; a path separator in it would
// put the log somewhere else, so such a name is never opened.
bool UsableLogFileName(const std::wstring& fileName) {
    return fileName.find_first_of(L"/\\") == std::wstring::npos &&
           fileName.find(L'\0') == std::wstring::npos;
}

std::wstring LogFileName(const CSSDStatus& status) {
    return L"drive" + std::to_wstring(status.DriveNumber) + L"_" + ToWide(status.Model) + L".csv";
}

// A whole unsigned decimal number, nothing else; a sign or any other
// character fails with the conversion's own exception.
std::uint64_t ParseCounter(const std::string& field) {
    if (field.empty() || field.find_first_not_of("0123456789") != std::string::npos)
        throw boost::bad_lexical_cast();
    return boost::lexical_cast<std::uint64_t>(field);
}

// The last complete line (one with its line end); false when there is none.
// A last line without its end was cut by a crash or a full disk and is never
// read as data; *tailCut tells whether there is one.
bool ReadLastCompleteLine(std::istream& in, std::string* last, bool* tailCut) {
    std::ostringstream content;
    content << in.rdbuf();
    std::string text = content.str();
    const std::size_t lastEnd = text.rfind('\n');
    *tailCut = text.size() != (lastEnd == std::string::npos ? 0 : lastEnd + 1);
    if (lastEnd == std::string::npos) return false;
    text.resize(lastEnd + 1);
    std::istringstream lines(text);
    bool any = false;
    std::string line;
    while (ReadTextLine(lines, &line)) {
        *last = line;
        any = true;
    }
    return any;
}

std::string SystemReason(int error) { return std::strerror(error != 0 ? error : EIO); }

// Appends text to the log and flushes it. On failure the log is cut back to
// its size before, so a line is whole or absent, and the system's reason is
// returned; else an empty text.
std::string WriteLogText(CSSDTest& test, const std::string& text) {
    const std::filesystem::path path(platform::FilePath(test.resultLogPath));
    std::error_code sizeError;
    const std::uintmax_t sizeBefore = std::filesystem::file_size(path, sizeError);
    errno = 0;
    test.resultLog << text << std::flush;
    if (test.resultLog.good()) return std::string();
    const int error = errno;
    test.resultLog.close();
    test.resultLog.clear();
    if (!sizeError) std::filesystem::resize_file(path, sizeBefore, sizeError);
    OpenLogStream(test, *test.currentStatus);
    return SystemReason(error);
}

// One data line: the status row and the ten result columns, with its end.
std::string ResultLine(const CSSDTest& test, double readSpeed, double writeSpeed,
                       double lastRoundRber) {
    std::ostringstream line;
    line.imbue(std::locale::classic());
    const double rber = test.calculatedRber;
    line << test.currentStatus->GetCSVRow() << ",";
    line << rber << "," << UncorrectableBitErrorRate(8, rber) << ","
         << UncorrectableBitErrorRate(12, rber) << ",";
    line << lastRoundRber << "," << UncorrectableBitErrorRate(8, lastRoundRber) << ","
         << UncorrectableBitErrorRate(12, lastRoundRber) << ",";
    line << test.uncorrectableBitErrors << "," << test.sectorFailCount << ",";
    line << readSpeed << "," << writeSpeed << "\n";
    return line.str();
}

}  // namespace

std::wstring ResultLogName(const CSSDStatus& status, const std::wstring& folder) {
    return platform::JoinPath(folder, LogFileName(status));
}

const std::string& ResultHeader() {
    static const std::string header =
        "Raw Bit Error Rate(Calculated),"
        "Uncorrectable Bit Error Rate(8bitECC),"
        "Uncorrectable Bit Error Rate(12bitECC),"
        "Raw Bit Error Rate(Last Round),"
        "Uncorrectable Bit Error Rate(8bitECC Last Round),"
        "Uncorrectable Bit Error Rate(12bitECC Last Round),"
        "Uncorrectable Bit Error Count,"
        "Sector Fail Count,"
        "Read Speed(MB/s),"
        "Write Speed(MB/s)";
    return header;
}

std::string ResultHeader(const CSSDStatus& status) {
    if (status.ReportsFlashErrorBits()) return ResultHeader();
    // The drive reports no raw bit errors: the rates come from the errors the
    // host read back.
    std::string header;
    std::size_t start = 0;
    for (int column = 0; column < 10; ++column) {
        std::size_t end = ResultHeader().find(',', start);
        if (end == std::string::npos) end = ResultHeader().size();
        if (column > 0) header += ",";
        if (column < kRateColumns) header += "Host-Visible ";
        header += ResultHeader().substr(start, end - start);
        start = end + 1;
    }
    return header;
}

void OpenLogStream(ResultLogFile& log, const CSSDStatus& status) {
    if (!UsableLogFileName(LogFileName(status))) {
        log.resultLog.setstate(std::ios_base::failbit);
        return;
    }
    log.resultLog.open(platform::FilePath(log.resultLogPath), true);
    log.resultLog.imbue(std::locale::classic());
}

void OpenResultLog(CSSDTest& test) {
    test.resultLogPath = ResultLogName(*test.currentStatus, FilesFolder(test));
    // Refuse an unusable name before anything is read or written under it.
    if (!UsableLogFileName(LogFileName(*test.currentStatus)))
        throw std::runtime_error("could not open LogFile");

    RestoreErrorCounters(test, *test.currentStatus, test);
    UpdateDriveStatus(test, test, test.driveNumber);

    const bool existed = platform::PathExists(test.resultLogPath);
    OpenLogStream(test, *test.currentStatus);
    if (!test.resultLog.good()) throw std::runtime_error("could not open LogFile");
    if (existed) return;  // continue the old log without a header

    Out() << "Log not Exist" << std::endl;
    // The header and the first line in one write: a log without them is
    // removed, so the next run starts it afresh.
    const std::string reason = WriteLogText(test, test.currentStatus->GetCSVHeader() + "," +
                                                      ResultHeader(*test.currentStatus) + "\n" +
                                                      ResultLine(test, 0, 0, 0));
    if (!reason.empty()) {
        test.resultLog.close();
        test.resultLog.clear();
        std::error_code ignored;
        std::filesystem::remove(platform::FilePath(test.resultLogPath), ignored);
        throw std::runtime_error("Log Write Failed: " + reason);
    }
    RunGaugeLens(test, test);
}

void RestoreErrorCounters(ResultLogFile& log, const CSSDStatus& status,
                          VerificationTotals& totals) {
    if (!platform::PathExists(log.resultLogPath)) {
        totals.uncorrectableBitErrors = 0;
        totals.sectorFailCount = 0;
    } else {
        std::ifstream in(platform::FilePath(log.resultLogPath), std::ios_base::binary);
        std::string last;
        bool tailCut = false;
        if (!in.is_open() || !ReadLastCompleteLine(in, &last, &tailCut))
            throw std::runtime_error("getline unknown error");
        log.logTailCut = tailCut;

        // Each field runs to the next comma; the last one to the next comma or
        // the end of the line. A field that finds the line exhausted is missing.
        std::istringstream fields(last);
        const std::string statusRow = status.GetCSVRow();
        const auto statusColumns =
            static_cast<std::size_t>(std::count(statusRow.begin(), statusRow.end(), ',')) + 1;
        std::vector<std::string> field(statusColumns + kRateColumns + 2);
        for (auto& f : field) {
            if (!std::getline(fields, f, ',')) throw std::runtime_error("getline unknown error");
        }
        totals.uncorrectableBitErrors = ParseCounter(field[field.size() - 2]);
        totals.sectorFailCount = ParseCounter(field[field.size() - 1]);
    }
}

void AppendResult(CSSDTest& test, double readSpeed, double writeSpeed, double lastRoundRber) {
    // A line cut short before this run is closed together with the new line.
    const std::string reason =
        WriteLogText(test, (test.logTailCut ? "\n" : "") +
                               ResultLine(test, readSpeed, writeSpeed, lastRoundRber));
    if (reason.empty()) {
        test.logTailCut = false;
        return;
    }
    Out() << "Log Write Failed: " << reason << std::endl;
    if (test.stateReason.empty()) test.stateReason = "Log Write Failed: " + reason;
    test.abandonRequested = true;
}

double UncorrectableBitErrorRate(int t, double p) {
    if (p == 0) return 0;
    const int n = 4096 + 2 * t;
    const double lp = std::log(p);
    const double lq = std::log(1 - p);
    double sum = 0;
    for (int k = t + 1; k < n; ++k) {
        const int larger = k > n - k ? k : n - k;
        const int smaller = n - larger;
        // ln of the binomial coefficient n over k, summed term by term.
        double upper = 0;
        for (int i = larger + 1; i <= n; ++i) upper += std::log(static_cast<double>(i));
        double lower = 0;
        for (int i = 1; i <= smaller; ++i) lower += std::log(static_cast<double>(i));
        const double term = std::exp(upper - lower + k * lp + (n - k) * lq);
        sum += term;
        if (sum / term > 1000000) break;  // the remaining terms no longer count
    }
    return sum / 4096;
}
