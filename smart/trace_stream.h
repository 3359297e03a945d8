// The process-wide trace stream: notes for the debugger (or the platform's
// diagnostic sink), never for the console. Each flush delivers the text
// collected so far in one piece.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>

#include "platform/process.h"

template <typename CharT, typename Traits = std::char_traits<CharT>>
class basic_outputdebug_streambuf : public std::basic_streambuf<CharT, Traits> {
public:
    using int_type = typename Traits::int_type;

protected:
    int_type overflow(int_type ch) override {
        if (!Traits::eq_int_type(ch, Traits::eof())) pending_.push_back(Traits::to_char_type(ch));
        return Traits::not_eof(ch);
    }
    int sync() override;

private:
    std::basic_string<CharT, Traits> pending_;
};

template <typename CharT, typename Traits = std::char_traits<CharT>>
class basic_outputdebug_stream : public std::basic_ostream<CharT, Traits> {
public:
    basic_outputdebug_stream() : std::basic_ostream<CharT, Traits>(&buffer_) {}

private:
    basic_outputdebug_streambuf<CharT, Traits> buffer_;
};

/// The process-wide trace stream, created on first use.
std::ostream& GetTraceStream();

/// Delivers one note of `level` (text without its line end) to the trace
/// sink, after what the trace stream holds so far.
void TraceNote(platform::TraceLevel level, const std::string& text);
