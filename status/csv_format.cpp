// Shared text rules of the status rows.
#include "status/csv_format.h"

#include <boost/date_time/posix_time/posix_time_io.hpp>
#include <boost/lexical_cast.hpp>
#include <cctype>
#include <locale>
#include <ostream>
#include <typeinfo>

#include "smart/trace_stream.h"

namespace {

// A token converts only when it holds the value alone. Integer conversion
// refuses surrounding spaces already; the date-time parser would skip leading
// ones, so they are refused here with the same error.
void RequireBareToken(const std::string& token) {
    if (!token.empty() && (std::isspace(static_cast<unsigned char>(token.front())) ||
                           std::isspace(static_cast<unsigned char>(token.back())))) {
        throw boost::bad_lexical_cast(typeid(std::string), typeid(boost::posix_time::ptime));
    }
}

}  // namespace

std::string FormatDateTime(const boost::posix_time::ptime& time) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << time;
    return out.str();
}

std::string JoinCsvHeader(const char* title, std::initializer_list<const char*> names) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << title << '\n';
    bool first = true;
    for (const char* name : names) {
        if (!first) out << ',';
        out << name;
        first = false;
    }
    return out.str();
}

CsvRowWriter::CsvRowWriter() { out_.imbue(std::locale::classic()); }

CsvRowWriter& CsvRowWriter::Add(const boost::posix_time::ptime& time) {
    return AddText(FormatDateTime(time));
}

CsvRowWriter& CsvRowWriter::AddText(const std::string& text) {
    Separate();
    out_ << text;
    return *this;
}

void CsvRowWriter::Separate() {
    if (!first_) out_ << ',';
    first_ = false;
}

CsvRowReader::CsvRowReader(const std::string& row)
    : row_(row), tokens_(row_, boost::char_separator<char>(",")), next_(tokens_.begin()) {}

bool CsvRowReader::Next(std::string* token) {
    if (next_ == tokens_.end()) return false;
    *token = *next_;
    ++next_;
    return true;
}

bool CsvRowReader::Read(boost::posix_time::ptime* time) {
    std::string token;
    if (!Next(&token)) return false;
    RequireBareToken(token);
    *time = boost::lexical_cast<boost::posix_time::ptime>(token);
    return true;
}

bool CsvRowReader::Read(std::uint32_t* value) {
    std::string token;
    if (!Next(&token)) return false;
    *value = boost::lexical_cast<std::uint32_t>(token);
    return true;
}

bool CsvRowReader::Read(std::uint64_t* value) {
    std::string token;
    if (!Next(&token)) return false;
    *value = boost::lexical_cast<std::uint64_t>(token);
    return true;
}

bool CsvRowReader::ReadBits(std::int32_t* value) {
    std::uint32_t bits = 0;
    if (!Read(&bits)) return false;
    *value = static_cast<std::int32_t>(bits);
    return true;
}

bool CsvRowReader::ReadLowByte(std::uint8_t* value) {
    std::uint32_t number = 0;
    if (!Read(&number)) return false;
    *value = static_cast<std::uint8_t>(number & 0xFF);
    return true;
}

bool CsvRowReader::Skip() {
    std::string token;
    return Next(&token);
}

void TraceReadFailure(const char* where, const std::exception& error) {
    GetTraceStream() << where << error.what() << std::endl;
}
