// Test helper: collects what is written to the trace stream while it lives.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "smart/trace_stream.h"

class TraceCapture {
public:
    TraceCapture() : saved_(GetTraceStream().rdbuf(&captured_)) {}
    ~TraceCapture() { GetTraceStream().rdbuf(saved_); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    /// Everything written so far.
    std::string Text() const { return captured_.str(); }

    /// The notes written so far, one per line end, without the line ends.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream in(captured_.str());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

private:
    std::stringbuf captured_;
    std::streambuf* saved_;
};
