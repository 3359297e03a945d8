#include <cstdio>
#include <stdexcept>

#include "engine/run_folders.h"
#include "platform/process.h"
#include "smart/process_utils.h"
#include "status/cssd_status.h"
#include "text/crlf_file_stream.h"
#include "text/operator_output.h"
#include "text/printable_text.h"
#include "viewer/gauge_lens.h"

namespace {

/// Moves one viewer file to its time-stamped name; on failure prints both
/// names and `failure`.
bool FileViewerOutput(const std::wstring& before, const std::wstring& after,
                      const wchar_t* failure) {
    if (platform::MoveFileNoReplace(before, after)) return true;
    OutWide(before + L" -> " + after + L"\n");
    OutWide(std::wstring(failure) + L"\n");
    return false;
}

/// Writes the clipboard text and its terminating NUL; like the console copy
/// it replaces, a failed write is not reported.
void WriteDataFile(const std::wstring& path, const std::string& text) {
    CrlfFileStream file;
    file.open(platform::FilePath(path), false);
    file.write(text.c_str(), static_cast<std::streamsize>(text.size() + 1));
    file.close();
}

}  // namespace

std::wstring GaugeLensTimeStamp(const boost::posix_time::ptime& time) {
    const boost::gregorian::date day = time.date();
    const boost::posix_time::time_duration clock = time.time_of_day();
    wchar_t text[32];
    std::swprintf(text, sizeof text / sizeof text[0], L"%04d%02d%02dT%02d%02d%02d",
                  static_cast<int>(day.year()), static_cast<int>(day.month()),
                  static_cast<int>(day.day()), static_cast<int>(clock.hours()),
                  static_cast<int>(clock.minutes()), static_cast<int>(clock.seconds()));
    return text;
}

bool CaptureGaugeLensOutput(const RunSettings& settings, const StatusTrack& status) {
    return CaptureGaugeLensOutputAt(settings, status, LocalTimeNow());
}

bool CaptureGaugeLensOutputAt(const RunSettings& settings, const StatusTrack& status,
                              const boost::posix_time::ptime& now) {
    const std::wstring stamp = GaugeLensTimeStamp(now);

    std::string text;
    switch (platform::ReadClipboardText(&text)) {
        case platform::ClipboardRead::Unavailable:
            Out() << "ClipBoard Open Failed!" << std::endl;
            return false;
        case platform::ClipboardRead::NoHandle:
            throw std::runtime_error("GetClipboardData Failed");
        case platform::ClipboardRead::Text:
            break;
    }

    const std::wstring folder = FilesFolder(settings);
    const std::wstring drive = L"drive" + std::to_wstring(settings.driveNumber) + L"_";
    const std::wstring filed = platform::JoinPath(folder, drive + stamp);
    WriteDataFile(filed + L"_data.txt", text);

    // A serial is drive text: a path separator in it must not lead the move
    // out of the program's folder.
    const std::wstring written = drive + ToWide(FileNameText(status.currentStatus->SerialNumber));
    if (!FileViewerOutput(written + L"_bank.csv", filed + L"_bank.csv", L"MoveFile1 Failed!"))
        return false;
    return FileViewerOutput(written + L"_block.csv", filed + L"_block.csv", L"MoveFile2 Failed!");
}
