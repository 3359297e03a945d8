#include "smart/trace_stream.h"

#include "platform/process.h"

template <>
int basic_outputdebug_streambuf<char>::sync() {
    // A flush with nothing but line ends (an empty note) delivers nothing.
    if (pending_.find_first_not_of("\r\n") != std::string::npos) platform::TraceOutput(pending_);
    pending_.clear();
    return 0;
}

std::ostream& GetTraceStream() {
    static basic_outputdebug_stream<char> stream;
    return stream;
}

void TraceNote(platform::TraceLevel level, const std::string& text) {
    GetTraceStream().flush();
    platform::TraceOutput(text + "\n", level);
}
