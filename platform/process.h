// Files and process utilities: the program's folder, side files, system error
// texts and the trace sink.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace platform {

/// Folder of the running program, without a trailing separator.
std::wstring ProgramFolder();

/// Folder of the files a run keeps when no folder is given (result logs,
/// dump files, viewer captures; the lab's bench): the program's folder, or the
/// data folder of an installed program, made when missing.
std::wstring DataFolder();

/// Folder the companion viewer is started from: the program's folder, or the
/// folder of the installed lab's stand-in viewer.
std::wstring ViewerFolder();

/// The folder and the name joined with the platform's path separator.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

/// Folder to which result logs are published after every round.
std::wstring SharedFolder();

/// True when a file or folder exists at the path.
bool PathExists(const std::wstring& path);

/// Copies a file, replacing an existing target. False on failure
/// (LastErrorCode tells why).
bool CopyFileReplacing(const std::wstring& from, const std::wstring& to);

/// Moves a file; fails (false) when the target exists.
bool MoveFileNoReplace(const std::wstring& from, const std::wstring& to);

/// The system's message text for an error code, on one line; empty when the
/// system has none.
std::wstring SystemErrorText(std::uint32_t code);

/// The last system error code of the calling thread (GetLastError / errno).
std::uint32_t LastErrorCode();

/// True when the system error `code` says another program holds the file
/// for a moment, so that the same operation may succeed shortly: a sharing
/// or lock violation, or access denied, on Windows (where virus scanners and
/// indexers open fresh files); never on Linux.
bool IsBriefFileLock(std::uint32_t code);

/// Converts a path to the narrow form the C++ file streams take.
std::string NativePath(const std::wstring& path);

/// Importance of a trace note, for sinks that keep one (the system journal).
enum class TraceLevel { Debug, Info, Warning, Error };

/// The path as the C++ file streams and std::filesystem take it: the wide
/// path itself on Windows, so that any character of a folder name works.
std::filesystem::path FilePath(const std::wstring& path);

/// Opens a file as std::fopen does (`mode` "rb", "wb", ...), by its wide path
/// on Windows. nullptr on failure, with the reason in errno.
std::FILE* OpenFile(const std::wstring& path, const char* mode);

/// Renames `from` to `to`, replacing an existing `to` in one step: a reader
/// finds the old file or the new one, never none. False on failure
/// (LastErrorCode tells why).
bool MoveFileReplacing(const std::wstring& from, const std::wstring& to);

/// Delivers one trace note (normally one line ending in a line feed) to the
/// platform's diagnostic sink, stamped with the local time where the sink has
/// no time of its own. Never writes to the console.
void TraceOutput(const std::string& text, TraceLevel level = TraceLevel::Debug);

/// A path given as a command line argument (UTF-8 on Windows, the native
/// bytes elsewhere) in the wide form the file services take.
std::wstring PathFromArgument(const std::string& argument);

}  // namespace platform
