#include "console/progress_console.h"

ProgressConsole::ProgressConsole(std::ostream& out) : out_(out), target_(out.rdbuf()) {
    out_.flush();
    out_.rdbuf(this);
}

ProgressConsole::~ProgressConsole() {
    Clear();
    out_.rdbuf(target_);
}

void ProgressConsole::Draw(const std::string& line) {
    out_.flush();
    if (line.empty()) return Clear();
    std::string text = "\r" + line;
    // Spaces cover what is left of a longer line before.
    if (line.size() < shown_) text.append(shown_ - line.size(), ' ');
    target_->sputn(text.data(), static_cast<std::streamsize>(text.size()));
    target_->pubsync();
    shown_ = line.size() < shown_ ? shown_ : line.size();
}

void ProgressConsole::Clear() {
    if (shown_ == 0) return;
    const std::string text = "\r" + std::string(shown_, ' ') + "\r";
    target_->sputn(text.data(), static_cast<std::streamsize>(text.size()));
    target_->pubsync();
    shown_ = 0;
}

int ProgressConsole::overflow(int c) {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    Clear();
    return target_->sputc(traits_type::to_char_type(c));
}

std::streamsize ProgressConsole::xsputn(const char* text, std::streamsize count) {
    if (count > 0) Clear();
    return target_->sputn(text, count);
}

int ProgressConsole::sync() { return target_->pubsync(); }
