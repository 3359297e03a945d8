// The posix clipboard: one file per user that the viewer console's copy
// writes and ReadClipboardText reads.
#pragma once

#include <string>

namespace platform::posix {

/// Folder shared by the viewer's lock file and the clipboard file when env
/// SSDTEST_VIEWER_DIR names one; empty otherwise.
std::string ViewerDirOverride();

/// The clipboard file: "ssdtest-clipboard-<uid>.txt" in SSDTEST_VIEWER_DIR,
/// else in XDG_RUNTIME_DIR, else in /tmp.
std::string ClipboardFilePath();

/// Replaces the clipboard's text in one step. False when it cannot be written.
bool WriteClipboardText(const std::string& text);

/// A screen as a console's copy gives it: the lines of `screen` (separated by
/// line feeds) without trailing blanks, joined with CR LF.
std::string ConsoleCopyText(const std::string& screen);

}  // namespace platform::posix
