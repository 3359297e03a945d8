// Wide and narrow text for the posix services: UTF-8 on the narrow side.
#pragma once

#include <string>

namespace platform::posix {

/// UTF-8 (or any byte text) to wide; invalid bytes are kept one by one.
std::wstring Widen(const std::string& text);

/// Wide to UTF-8.
std::string Narrow(const std::wstring& text);

}  // namespace platform::posix
