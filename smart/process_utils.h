// Small facilities the whole program shares: system error texts and text
// conversion.
#pragma once

#include <cstdint>
#include <string>

/// The system's message text for an error code; empty when it has none.
std::wstring GetSystemErrorText(std::uint32_t code);

/// Narrow to wide text in the C runtime's current locale; bytes that do not
/// convert are widened one by one, so no text is lost.
std::wstring ToWide(const std::string& text);

/// Wide to narrow text in the C runtime's current locale; characters that do
/// not convert become '?'.
std::string ToNarrow(const std::wstring& text);
