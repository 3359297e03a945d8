// The operator's console output: the narrow stream and wide text. Both go to
// the console unless an OutputCapture collects them.
#pragma once

#include <ostream>
#include <sstream>
#include <string>

/// The stream operator messages are written to: std::cout, or the capture's
/// string while an OutputCapture lives.
std::ostream& Out();

/// Writes wide text after everything written so far on Out(), and flushes
/// it: platform::WriteWide, or (as UTF-8) into the capture's string.
void OutWide(const std::wstring& text);

/// While it lives, Out() and OutWide write into one string, in the order they
/// were called; the previous destinations come back when it goes. Captures
/// nest; each one sees only what was written while it was the newest.
class OutputCapture {
public:
    OutputCapture();
    ~OutputCapture();
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

    /// Everything written since the capture began or the last Take.
    std::string Text() const { return stream_.str(); }
    /// Text(), then forgets it.
    std::string Take();

private:
    friend std::ostream& Out();
    friend void OutWide(const std::wstring& text);

    std::ostringstream stream_;
    OutputCapture* previous_;
};
