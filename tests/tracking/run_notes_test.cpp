// The one-line summary of a run: this run's work, not the log's totals.
#include "tracking/run_notes.h"

#include <gtest/gtest.h>

namespace {

TEST(RunSummary, CountsThisRunOnlyWithMeanDeviceSpeeds) {
    CSSDTest test;
    test.driveNumber = 1;
    test.counterFrequency = 1000;
    test.currentStatus->AverageEraseCount = 7;
    test.uncorrectableBitErrors = 15;  // 10 restored from the log
    test.sectorFailCount = 4;
    test.tally.startAverageEraseCount = 4;
    test.tally.startBitErrors = 10;
    test.tally.startFailedSectors = 4;
    test.tally.rounds = 3;
    // 2000 blocks written in 2 s of device time, 1000 read in 4 s.
    test.tally.AddBatch(1000, 1000, 1000, 4000);
    test.tally.AddBatch(1000, 1000, 0, 0);
    EXPECT_EQ(RunSummaryLine(BuildRunFigures(test, 0)),
              "Summary: drive 1, rounds 3, erase count 4 -> 7, written 0.002097 TB, bit errors 5, "
              "failed sectors 0, read 262.1 MB/s, write 1048.6 MB/s");

    CSSDTest idle;
    EXPECT_NE(RunSummaryLine(BuildRunFigures(idle, 0)).find("read 0.0 MB/s, write 0.0 MB/s"),
              std::string::npos)
        << "no transfer, no division by zero";
}

}  // namespace
