// Wide text in the system's ANSI code page, the narrow form of the Windows
// backend's own texts.
#pragma once

#include <string>

namespace platform {
namespace win32 {

/// The text in the ANSI code page; characters it lacks become '?'.
std::string AnsiText(const std::wstring& text);

}  // namespace win32
}  // namespace platform
