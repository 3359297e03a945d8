// Which counter movements count as a change of the drive's status.
#include <gtest/gtest.h>

#include <boost/date_time/gregorian/gregorian_types.hpp>
#include <functional>
#include <string>
#include <vector>

#include "tracking/drive_check.h"

namespace {

CKVTStatus SampleStatus() {
    CKVTStatus status;
    status.DriveNumber = 1;
    status.AverageEraseCount = 10;
    status.MaximumEraseCount = 12;
    status.MinimumEraseCount = 8;
    status.RawReadErrorRate = 100;
    status.ProgramFailureBlockCount = 1;
    status.EraseFailureBlockCount = 2;
    status.ReadFailureBlockCount = 3;
    status.BadBlockFullFlag = 0;
    status.TotalErrorBitsFromFlash = 500;
    status.TotalReadSectors = 1000;
    return status;
}

struct Movement {
    std::string name;
    std::function<void(CKVTStatus&)> apply;
};

TEST(TrackedCountersDiffer, EachWearOrFailureCounterAloneIsAChange) {
    const std::vector<Movement> movements = {
        {"AverageEraseCount", [](CKVTStatus& s) { s.AverageEraseCount += 1; }},
        {"MaximumEraseCount", [](CKVTStatus& s) { s.MaximumEraseCount += 1; }},
        {"MinimumEraseCount", [](CKVTStatus& s) { s.MinimumEraseCount += 1; }},
        {"RawReadErrorRate", [](CKVTStatus& s) { s.RawReadErrorRate += 1; }},
        {"ProgramFailureBlockCount", [](CKVTStatus& s) { s.ProgramFailureBlockCount += 1; }},
        {"EraseFailureBlockCount", [](CKVTStatus& s) { s.EraseFailureBlockCount += 1; }},
        {"ReadFailureBlockCount", [](CKVTStatus& s) { s.ReadFailureBlockCount += 1; }},
        {"BadBlockFullFlag", [](CKVTStatus& s) { s.BadBlockFullFlag = 1; }},
    };
    const CKVTStatus previous = SampleStatus();
    EXPECT_FALSE(TrackedCountersDiffer(previous, previous));
    for (const auto& movement : movements) {
        CKVTStatus current = previous;
        movement.apply(current);
        EXPECT_TRUE(TrackedCountersDiffer(previous, current)) << movement.name;
    }
}

TEST(TrackedCountersDiffer, ProgressCountersAloneAreNoChange) {
    const CKVTStatus previous = SampleStatus();
    CKVTStatus current = previous;
    current.DateTime = boost::posix_time::ptime(boost::gregorian::date(2010, 8, 23));
    current.PowerOnHours += 1;
    current.PowerCycleCount += 1;
    current.TotalReadSectors += 2048;
    current.TotalErrorBitsFromFlash += 9;
    current.TotalWriteSectors += 2048;
    current.TotalReadCommands += 1;
    current.TotalWriteCommands += 1;
    current.TotalCorrectableReadSectors += 1;
    current.InitialBadBlockCount += 1;
    current.MaximumPECountSpecification += 1;
    current.OtherAttributes[210] = 4;
    EXPECT_FALSE(TrackedCountersDiffer(previous, current));
}

}  // namespace
