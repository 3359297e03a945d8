#include "tracking/metrics_file.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "platform/process.h"
#include "smart/process_utils.h"

namespace {

// A label value with backslash, double quote and line feed escaped.
std::string LabelValue(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\\' || c == '"') escaped += '\\';
        if (c == '\n') {
            escaped += "\\n";
            continue;
        }
        escaped += c;
    }
    return escaped;
}

std::string Number(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

class MetricsWriter {
public:
    explicit MetricsWriter(const RunFigures& figures)
        : labels_("serial=\"" + LabelValue(figures.drive.serial) + "\",model=\"" +
                  LabelValue(figures.drive.model) + "\",host=\"" + LabelValue(figures.host) +
                  "\"") {}

    void Gauge(const char* name, const char* help, double value) {
        Header(name, help);
        Sample(name, "", value);
    }
    void Header(const char* name, const char* help) {
        text_ << "# HELP ssdtest_" << name << " " << help << "\n# TYPE ssdtest_" << name
              << " gauge\n";
    }
    // One sample; `extra` labels (already formatted) follow the common ones.
    void Sample(const char* name, const std::string& extra, double value) {
        text_ << "ssdtest_" << name << "{" << labels_ << extra << "} " << Number(value) << "\n";
    }
    std::string Text() const { return text_.str(); }

private:
    std::string labels_;
    std::ostringstream text_;
};

}  // namespace

std::string MetricsText(const RunFigures& figures) {
    MetricsWriter out(figures);
    out.Header("info", "Drive under test and the tool testing it; always 1.");
    out.Sample("info",
               ",firmware=\"" + LabelValue(figures.drive.firmware) + "\",version=\"" +
                   LabelValue(figures.toolVersion) + "\",test=\"" +
                   (figures.readOnly ? "read-only" : "normal") + "\"",
               1);
    out.Header("state", "1 for the run's state (running, finished, abandoned, failed, refused).");
    for (const RunState state : {RunState::kRunning, RunState::kFinished, RunState::kAbandoned,
                                 RunState::kFailed, RunState::kRefused}) {
        out.Sample("state", std::string(",state=\"") + RunStateName(state) + "\"",
                   state == figures.state ? 1 : 0);
    }
    out.Gauge("erase_count_average", "Average erase count the drive reports (SMART).",
              figures.averageEraseCount);
    out.Gauge("erase_count_target",
              "Average erase count at which the write test ends; 0 for the read-only test.",
              figures.readOnly ? 0 : figures.targetAec);
    out.Gauge("round", "Current (or last) round of the run, from 1.", figures.round);
    out.Gauge("round_progress_ratio", "Part of the current round done, 0 to 1.",
              figures.roundPercent / 100);
    out.Gauge("written_bytes", "Bytes this run wrote to the drive.",
              static_cast<double>(figures.bytesWritten));
    out.Gauge("read_bytes", "Bytes this run read from the drive.",
              static_cast<double>(figures.bytesRead));
    out.Gauge("bit_errors", "Bit errors the tool found on this drive, as in its result log.",
              static_cast<double>(figures.bitErrors));
    out.Gauge("failed_sectors", "Sectors that failed to read, as in the result log.",
              static_cast<double>(figures.failedSectors));
    out.Gauge("raw_bit_error_rate", "Raw bit error rate from the drive's counters.", figures.rber);
    out.Gauge("uncorrectable_bit_error_rate",
              "Estimated uncorrectable bit error rate for 8-bit ECC.", figures.uber);
    out.Gauge("write_bytes_per_second", "Mean device write speed of this run.",
              figures.writeMbPerS * 1e6);
    out.Gauge("read_bytes_per_second", "Mean device read speed of this run.",
              figures.readMbPerS * 1e6);
    out.Gauge("drive_size_bytes", "Size of the drive.",
              static_cast<double>(figures.drive.sizeBytes));
    out.Gauge("start_timestamp_seconds", "When the run started, Unix time.",
              static_cast<double>(figures.startedUnixTime));
    out.Gauge("last_update_timestamp_seconds", "When these figures were written, Unix time.",
              static_cast<double>(figures.updatedUnixTime));
    if (figures.estimatedEndUnixTime != 0)
        out.Gauge("estimated_end_timestamp_seconds",
                  "When the erase count target would be reached at the run's pace, Unix time.",
                  static_cast<double>(figures.estimatedEndUnixTime));
    return out.Text();
}

std::wstring MetricsFileName(const std::wstring& folder, const RunDriveIdentity& drive) {
    std::string name = drive.serial;
    for (char& c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!plain) c = '_';
    }
    if (name.empty()) name = "drive" + std::to_string(drive.number);
    return platform::JoinPath(folder, ToWide("ssdtest_" + name + ".prom"));
}
