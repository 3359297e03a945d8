// Files and process utilities on Windows.
#include "platform/process.h"

#include <windows.h>
// After windows.h, which it builds on:
#include <shlwapi.h>

#include <cstdio>

#include "platform/win32/ansi_text.h"

namespace platform {

namespace {
constexpr std::size_t kLongestPath = 32768;  // the system's limit for a wide path
}  // namespace

std::wstring ProgramFolder() {
    // The module path may be longer than MAX_PATH; a truncated one would name
    // another folder, so the buffer grows until the whole path fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= kLongestPath) return {};  // no folder rather than a wrong one
        path.resize(path.size() * 2);
    }
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return {};
    path.resize(separator);
    return path;
}

// The Windows program is used from a folder of its own and keeps its files there.
std::wstring DataFolder() { return ProgramFolder(); }

std::wstring ViewerFolder() { return ProgramFolder(); }

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    const wchar_t last = folder.back();
    if (last == L'\\' || last == L'/') return folder + name;
    return folder + L"\\" + name;
}

std::wstring SharedFolder() { return L"C:\\My Dropbox\\Public"; }

bool PathExists(const std::wstring& path) { return PathFileExistsW(path.c_str()) != FALSE; }

bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) {
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

bool MoveFileNoReplace(const std::wstring& from, const std::wstring& to) {
    return MoveFileW(from.c_str(), to.c_str()) != FALSE;
}

std::wstring SystemErrorText(std::uint32_t code) {
    // Allocated buffer, no inserts, system table, and no line breaks of its
    // own (the maximum-width mask); the language is neutral/default.
    constexpr DWORD kFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                             FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_MAX_WIDTH_MASK;
    static_assert(kFlags == 0x13FF, "message flags");
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(kFlags, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length > 0 && buffer != nullptr) text.assign(buffer, length);
    if (buffer != nullptr) LocalFree(buffer);
    // The width mask turns the closing line break into one trailing blank.
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\r' || text.back() == L'\n'))
        text.pop_back();
    return text;
}

std::uint32_t LastErrorCode() { return GetLastError(); }

bool IsBriefFileLock(std::uint32_t code) {
    return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
           code == ERROR_ACCESS_DENIED;
}

std::string win32::AnsiText(const std::wstring& text) {
    if (text.empty()) return {};
    const int wideLength = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(CP_ACP, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), wideLength, &narrow[0], size, nullptr, nullptr);
    return narrow;
}

std::string NativePath(const std::wstring& path) { return win32::AnsiText(path); }

namespace {

// "2026-12-08T21:16:28.123+01:00": local time with its offset from UTC.
std::string LocalTimestamp() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    TIME_ZONE_INFORMATION zone{};
    const DWORD mode = GetTimeZoneInformation(&zone);
    LONG bias = zone.Bias;
    if (mode == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
    if (mode == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
    const long offset = bias > 0 ? bias : -bias;  // minutes; UTC = local + bias
    char text[48] = {};
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03u%c%02ld:%02ld", now.wYear,
                  now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
                  bias > 0 ? '-' : '+', offset / 60, offset % 60);
    return text;
}

}  // namespace

void TraceOutput(const std::string& text, TraceLevel) {
    OutputDebugStringA((LocalTimestamp() + " " + text).c_str());
}

std::wstring PathFromArgument(const std::string& argument) {
    if (argument.empty()) return {};
    const int length = static_cast<int>(argument.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, argument.data(), length, nullptr, 0);
    if (size <= 0) return std::wstring(argument.begin(), argument.end());
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, argument.data(), length, &wide[0], size);
    return wide;
}

std::filesystem::path FilePath(const std::wstring& path) { return std::filesystem::path(path); }

std::FILE* OpenFile(const std::wstring& path, const char* mode) {
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
}

bool MoveFileReplacing(const std::wstring& from, const std::wstring& to) {
    // One step, and on the disk before the call returns.
    return MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

}  // namespace platform
