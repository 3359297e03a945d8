#include "text/operator_output.h"

#include <cstdint>
#include <iostream>

#include "platform/console.h"

namespace {

OutputCapture* active = nullptr;

/// UTF-8 form of wide text, as the console shows it on POSIX hosts.
std::string Utf8(const std::wstring& text) {
    std::string out;
    for (const wchar_t wide : text) {
        // A code point, not a character byte: clang-tidy 14 takes wchar_t for a signed char.
        // NOLINTNEXTLINE(bugprone-signed-char-misuse)
        const auto c = static_cast<std::uint32_t>(wide);
        const auto byte = [&out](std::uint32_t value) { out.push_back(static_cast<char>(value)); };
        if (c < 0x80) {
            byte(c);
        } else if (c < 0x800) {
            byte(0xC0 | (c >> 6));
            byte(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            byte(0xE0 | (c >> 12));
            byte(0x80 | ((c >> 6) & 0x3F));
            byte(0x80 | (c & 0x3F));
        } else {
            byte(0xF0 | (c >> 18));
            byte(0x80 | ((c >> 12) & 0x3F));
            byte(0x80 | ((c >> 6) & 0x3F));
            byte(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

std::ostream& Out() { return active != nullptr ? active->stream_ : std::cout; }

void OutWide(const std::wstring& text) {
    if (active == nullptr) {
        platform::WriteWide(text);
        return;
    }
    active->stream_ << Utf8(text) << std::flush;
}

OutputCapture::OutputCapture() : previous_(active) { active = this; }

OutputCapture::~OutputCapture() { active = previous_; }

std::string OutputCapture::Take() {
    std::string text = stream_.str();
    stream_.str(std::string());
    return text;
}
