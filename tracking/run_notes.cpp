#include "tracking/run_notes.h"

#include <cstdio>
#include <ctime>

#include "smart/trace_stream.h"
#include "tracking/run_figures.h"

namespace {

// "drive 1, round 3, erase count 7": where the test stands; `roundsAhead`
// counts the round in progress.
std::string Position(const RunFigures& figures, std::uint32_t roundsAhead = 0) {
    return "drive " + std::to_string(figures.drive.number) + ", round " +
           std::to_string(figures.roundsCompleted + roundsAhead) + ", erase count " +
           std::to_string(figures.averageEraseCount);
}

}  // namespace

void NoteTestStart(const RunFigures& figures) {
    const std::string kind = figures.readOnly
                                 ? "read-only test"
                                 : "write test to erase count " + std::to_string(figures.targetAec);
    TraceNote(platform::TraceLevel::Info, "test start: " + Position(figures) + ", serial " +
                                              figures.drive.serial + ", " + kind);
}

void NoteRoundEnd(const RunFigures& figures, bool complete) {
    // A round cut short is the one after the last complete round.
    TraceNote(platform::TraceLevel::Info,
              std::string(complete ? "round end: " : "round cut short: ") +
                  Position(figures, complete ? 0 : 1));
}

void NoteTestEnd(const RunFigures& figures, const std::string& outcome,
                 platform::TraceLevel level) {
    // A trace note is one line: a failure's reason line joins its first line.
    std::string oneLine = outcome;
    for (std::size_t at = oneLine.find('\n'); at != std::string::npos; at = oneLine.find('\n', at))
        oneLine.replace(at, 1, "; ");
    TraceNote(level, "test end: " + Position(figures) + ", " + oneLine);
}

std::string RunSummaryLine(const RunFigures& figures) {
    const double terabytes = static_cast<double>(figures.bytesWritten) / 1e12;
    char text[512];
    std::snprintf(text, sizeof text,
                  "Summary: drive %u, rounds %u, erase count %d -> %d, written %.4g TB, bit errors "
                  "%llu, failed sectors %llu, read %.1f MB/s, write %.1f MB/s",
                  figures.drive.number, figures.roundsCompleted, figures.startAverageEraseCount,
                  figures.averageEraseCount, terabytes,
                  static_cast<unsigned long long>(figures.runBitErrors),
                  static_cast<unsigned long long>(figures.runFailedSectors), figures.readMbPerS,
                  figures.writeMbPerS);
    return text;
}
