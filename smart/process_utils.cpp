#include "smart/process_utils.h"

#include <cstdlib>
#include <vector>

#include "platform/process.h"

std::wstring GetSystemErrorText(std::uint32_t code) { return platform::SystemErrorText(code); }

std::wstring ToWide(const std::string& text) {
    std::vector<wchar_t> buffer(text.size() + 1, L'\0');
    const std::size_t converted = std::mbstowcs(buffer.data(), text.c_str(), buffer.size());
    if (converted != static_cast<std::size_t>(-1)) return std::wstring(buffer.data(), converted);
    // Not valid in the current locale: keep every byte as its own character.
    std::wstring widened;
    widened.reserve(text.size());
    for (const char c : text)
        widened.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return widened;
}

std::string ToNarrow(const std::wstring& text) {
    std::vector<char> buffer(static_cast<std::size_t>(MB_CUR_MAX) * text.size() + 1, '\0');
    const std::size_t converted = std::wcstombs(buffer.data(), text.c_str(), buffer.size());
    if (converted != static_cast<std::size_t>(-1)) return std::string(buffer.data(), converted);
    // Convert what converts; mark each character that does not.
    std::string narrowed;
    for (wchar_t c : text) {
        char one[8] = {};
        const wchar_t single[2] = {c, L'\0'};
        const std::size_t n = std::wcstombs(one, single, sizeof one);
        narrowed += (n == static_cast<std::size_t>(-1)) ? std::string("?") : std::string(one, n);
    }
    return narrowed;
}
