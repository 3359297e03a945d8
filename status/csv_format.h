// Shared text rules of the status rows: comma-joined values in the classic
// locale, date-times in the date-time library's default form, and a reader that
// splits a row at commas and converts each token whole.
#pragma once

#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/tokenizer.hpp>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <sstream>
#include <string>

/// The date-time as "2010-Aug-23 14:05:09", or "not-a-date-time".
std::string FormatDateTime(const boost::posix_time::ptime& time);

/// Title line, one line feed, and the column names joined by ",".
std::string JoinCsvHeader(const char* title, std::initializer_list<const char*> names);

/// Builds one row: values joined by ",", no trailing separator, no line end.
class CsvRowWriter {
public:
    CsvRowWriter();

    /// Appends a number in the classic locale.
    template <typename Number>
    CsvRowWriter& Add(Number value) {
        Separate();
        out_ << value;
        return *this;
    }
    /// Appends a date-time in its default text form.
    CsvRowWriter& Add(const boost::posix_time::ptime& time);
    /// Appends a text as it is.
    CsvRowWriter& AddText(const std::string& text);

    /// The row written so far.
    std::string Text() const { return out_.str(); }

private:
    void Separate();

    std::ostringstream out_;
    bool first_ = true;
};

/// Reads the tokens of a row in order. Each Read returns false when no token is
/// left, and throws (boost::bad_lexical_cast) when the token does not convert
/// as a whole; the target is changed only by a successful conversion.
class CsvRowReader {
public:
    explicit CsvRowReader(const std::string& row);

    /// Reads a date-time written by FormatDateTime.
    bool Read(boost::posix_time::ptime* time);
    /// Reads an unsigned 32-bit number.
    bool Read(std::uint32_t* value);
    /// Reads an unsigned 64-bit number.
    bool Read(std::uint64_t* value);
    /// Reads an unsigned 32-bit number and keeps its bits in a signed field.
    bool ReadBits(std::int32_t* value);
    /// Reads an unsigned 32-bit number and keeps its low 8 bits.
    bool ReadLowByte(std::uint8_t* value);
    /// Takes the next token without converting it; false when none is left.
    bool Skip();

private:
    using Tokenizer = boost::tokenizer<boost::char_separator<char>>;

    bool Next(std::string* token);

    std::string row_;  // the tokenizer refers into this copy
    Tokenizer tokens_;
    Tokenizer::iterator next_;
};

/// Writes "<where>" followed directly by the exception's message as one trace note.
void TraceReadFailure(const char* where, const std::exception& error);
