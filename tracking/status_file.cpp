#include "tracking/status_file.h"

#include <fstream>

#include "platform/process.h"

nlohmann::ordered_json StatusJson(const RunFigures& figures) {
    const RunDriveIdentity& drive = figures.drive;
    nlohmann::ordered_json status = {
        {"format", "ssdtest-status"},
        {"format_version", 1},
        {"tool_version", figures.toolVersion},
        {"host", figures.host},
        {"drive",
         {{"number", drive.number},
          {"path", drive.path},
          {"serial", drive.serial},
          {"model", drive.model},
          {"firmware", drive.firmware},
          {"size_bytes", drive.sizeBytes},
          {"family", drive.family}}},
        {"test", figures.readOnly ? "read-only" : "normal"},
        {"target_aec", nullptr},
        {"state", RunStateName(figures.state)},
        {"reason", figures.reason},
        {"round", figures.round},
        {"rounds_completed", figures.roundsCompleted},
        {"round_percent", figures.roundPercent},
        {"average_erase_count", figures.averageEraseCount},
        {"start_average_erase_count", figures.startAverageEraseCount},
        {"bytes_written", figures.bytesWritten},
        {"bytes_read", figures.bytesRead},
        {"drive_bytes_written", figures.driveBytesWritten},
        {"drive_bytes_read", figures.driveBytesRead},
        {"bit_errors", figures.bitErrors},
        {"failed_sectors", figures.failedSectors},
        {"run_bit_errors", figures.runBitErrors},
        {"run_failed_sectors", figures.runFailedSectors},
        {"rber", figures.rber},  // NaN (nothing read yet) is written as null
        {"uber", figures.uber},
        {"write_mb_per_s", figures.writeMbPerS},
        {"read_mb_per_s", figures.readMbPerS},
        {"started", IsoUtc(figures.startedUnixTime)},
        {"updated", IsoUtc(figures.updatedUnixTime)},
        {"estimated_end", nullptr},
        {"log_file", figures.logFile}};
    if (!figures.readOnly) status["target_aec"] = figures.targetAec;
    if (figures.estimatedEndUnixTime != 0)
        status["estimated_end"] = IsoUtc(figures.estimatedEndUnixTime);
    return status;
}

std::wstring StatusFileName(const std::wstring& logPath) {
    const std::wstring csv = L".csv";
    const bool hasCsv = logPath.size() >= csv.size() &&
                        logPath.compare(logPath.size() - csv.size(), csv.size(), csv) == 0;
    return (hasCsv ? logPath.substr(0, logPath.size() - csv.size()) : logPath) + L".status.json";
}

std::string StatusText(const RunFigures& figures) {
    return StatusJson(figures).dump(2, ' ', false,
                                    nlohmann::ordered_json::error_handler_t::replace) +
           "\n";
}

std::string StatusFileSerial(const std::wstring& path) {
    std::ifstream in(platform::FilePath(path), std::ios_base::binary);
    if (!in.is_open()) return std::string();
    const nlohmann::ordered_json status = nlohmann::ordered_json::parse(in, nullptr, false);
    if (!status.is_object() || status.value("format", "") != "ssdtest-status") return std::string();
    const auto drive = status.find("drive");
    if (drive == status.end() || !drive->is_object()) return std::string();
    const auto serial = drive->find("serial");
    return serial != drive->end() && serial->is_string() ? serial->get<std::string>()
                                                         : std::string();
}
