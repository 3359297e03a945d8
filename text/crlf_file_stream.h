// An output file stream that stores every line feed as CR LF, the way a
// Windows text-mode stream does, on every platform, so stored text files are
// the same everywhere. Other processes may read and write the file meanwhile.
#pragma once

#include <filesystem>
#include <fstream>
#include <ostream>
#include <streambuf>
#include <string>

class CrlfFileStream : public std::ostream {
public:
    CrlfFileStream();
    ~CrlfFileStream() override;
    CrlfFileStream(const CrlfFileStream&) = delete;
    CrlfFileStream& operator=(const CrlfFileStream&) = delete;

    /// Opens the file for writing (appending when `append`, else truncating).
    /// Sets failbit when the file cannot be opened.
    void open(const std::filesystem::path& path, bool append);
    /// Flushes and closes; sets failbit when that fails or nothing was open.
    void close();
    bool is_open() const { return file_.is_open(); }

private:
    class CrlfBuf : public std::streambuf {
    public:
        explicit CrlfBuf(std::filebuf* target) : target_(target) {}

    protected:
        int_type overflow(int_type ch) override;
        std::streamsize xsputn(const char* s, std::streamsize n) override;
        int sync() override;

    private:
        std::filebuf* target_;
    };

    std::filebuf file_;
    CrlfBuf crlf_;
};

/// Reads one line ending in LF or CR LF into *line (without its end).
/// False when nothing could be read.
bool ReadTextLine(std::istream& in, std::string* line);
