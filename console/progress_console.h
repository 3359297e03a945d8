// A line that stays at the bottom of the terminal and is redrawn in place,
// while the operator's messages scroll above it.
#pragma once

#include <cstddef>
#include <ostream>
#include <streambuf>
#include <string>

/// While it lives, text written to `out` first clears the progress line, so a
/// message never lands on it; Draw puts the line back. The line is cleared
/// with spaces and a carriage return, which every console understands.
class ProgressConsole : public std::streambuf {
public:
    explicit ProgressConsole(std::ostream& out);
    ~ProgressConsole() override;
    ProgressConsole(const ProgressConsole&) = delete;
    ProgressConsole& operator=(const ProgressConsole&) = delete;

    /// Shows `line` in place of the last one; an empty line clears it.
    void Draw(const std::string& line);

protected:
    int overflow(int c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    void Clear();

    std::ostream& out_;
    std::streambuf* target_;
    std::size_t shown_ = 0;  // width of the line on the screen; 0: none shown
};
