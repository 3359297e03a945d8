#include "text/crlf_file_stream.h"

#include <ios>

CrlfFileStream::CrlfFileStream() : std::ostream(nullptr), crlf_(&file_) {
    rdbuf(&crlf_);
    setstate(std::ios_base::failbit);  // not open yet
}

CrlfFileStream::~CrlfFileStream() {
    if (file_.is_open()) file_.close();
}

void CrlfFileStream::open(const std::filesystem::path& path, bool append) {
    const auto mode = std::ios_base::out | std::ios_base::binary |
                      (append ? std::ios_base::app : std::ios_base::trunc);
    if (file_.is_open() || file_.open(path, mode) == nullptr) {
        setstate(std::ios_base::failbit);
        return;
    }
    clear();
}

void CrlfFileStream::close() {
    if (!file_.is_open()) {
        setstate(std::ios_base::failbit);
        return;
    }
    if (file_.close() == nullptr) setstate(std::ios_base::failbit);
}

CrlfFileStream::CrlfBuf::int_type CrlfFileStream::CrlfBuf::overflow(int_type ch) {
    if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
    const char c = traits_type::to_char_type(ch);
    if (c == '\n' && traits_type::eq_int_type(target_->sputc('\r'), traits_type::eof()))
        return traits_type::eof();
    return target_->sputc(c);
}

std::streamsize CrlfFileStream::CrlfBuf::xsputn(const char* s, std::streamsize n) {
    std::streamsize done = 0;
    while (done < n) {
        std::streamsize run = 0;
        while (done + run < n && s[done + run] != '\n') ++run;
        if (run > 0 && target_->sputn(s + done, run) != run) return done;
        done += run;
        if (done < n) {
            if (traits_type::eq_int_type(overflow('\n'), traits_type::eof())) return done;
            ++done;
        }
    }
    return done;
}

int CrlfFileStream::CrlfBuf::sync() { return target_->pubsync(); }

bool ReadTextLine(std::istream& in, std::string* line) {
    if (!std::getline(in, *line)) return false;
    if (!line->empty() && line->back() == '\r') line->pop_back();
    return true;
}
