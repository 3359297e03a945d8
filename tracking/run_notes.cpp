#include "tracking/run_notes.h"

#include <cstdio>

#include "smart/trace_stream.h"

namespace {

// "drive 1, round 3, erase count 7": where the test stands.
std::string Position(const CSSDTest& test) {
    return "drive " + std::to_string(test.driveNumber) + ", round " +
           std::to_string(test.tally.rounds) + ", erase count " +
           std::to_string(test.currentStatus->AverageEraseCount);
}

// Mean device speed in MB/s (10^6 bytes) over all transfers of the run.
double MeanSpeed(std::uint64_t blocks, std::uint64_t ticks, double counterFrequency) {
    if (ticks == 0) return 0;
    return static_cast<double>(blocks) * kBlockBytes / 1e6 /
           (static_cast<double>(ticks) / counterFrequency);
}

}  // namespace

void NoteTestStart(const CSSDTest& test, bool readOnly) {
    const std::string kind =
        readOnly ? "read-only test" : "write test to erase count " + std::to_string(test.aecTarget);
    TraceNote(platform::TraceLevel::Info, "test start: " + Position(test) + ", serial " +
                                              test.currentStatus->SerialNumber + ", " + kind);
}

void NoteRoundEnd(const CSSDTest& test, bool complete) {
    TraceNote(platform::TraceLevel::Info,
              std::string(complete ? "round end: " : "round cut short: ") + Position(test));
}

void NoteTestEnd(const CSSDTest& test, const std::string& outcome, platform::TraceLevel level) {
    TraceNote(level, "test end: " + Position(test) + ", " + outcome);
}

std::string RunSummaryLine(const CSSDTest& test) {
    const RunTally& tally = test.tally;
    const double terabytes = static_cast<double>(tally.blocksWritten) * kBlockBytes / 1e12;
    char text[512];
    std::snprintf(
        text, sizeof text,
        "Summary: drive %u, rounds %u, erase count %d -> %d, written %.4g TB, bit errors %llu, "
        "failed sectors %llu, read %.1f MB/s, write %.1f MB/s",
        test.driveNumber, tally.rounds, tally.startAverageEraseCount,
        test.currentStatus->AverageEraseCount, terabytes,
        static_cast<unsigned long long>(test.uncorrectableBitErrors - tally.startBitErrors),
        static_cast<unsigned long long>(test.sectorFailCount - tally.startFailedSectors),
        MeanSpeed(tally.blocksRead, tally.readTicks, test.counterFrequency),
        MeanSpeed(tally.blocksWritten, tally.writeTicks, test.counterFrequency));
    return text;
}
