// The NVMe status record: its erase count from the best source at hand, and
// its log row read back as written.
#include "status/cnvme_status.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace nvme = platform::nvme;

namespace {

nvme::HealthLog Health(std::uint8_t percentageUsed, std::uint64_t unitsWritten) {
    nvme::HealthLog health{};
    health.percentageUsed = percentageUsed;
    nvme::PutLittleEndian(health.dataUnitsWritten, 16, unitsWritten);
    nvme::PutLittleEndian(health.dataUnitsRead, 16, 7);
    return health;
}

nvme::DatacenterSmartLog Datacenter(std::uint32_t maximum, std::uint32_t minimum) {
    nvme::DatacenterSmartLog log{};
    nvme::PutLittleEndian(log.maximumUserDataEraseCount, 4, maximum);
    nvme::PutLittleEndian(log.minimumUserDataEraseCount, 4, minimum);
    std::memcpy(log.logPageGuid, nvme::kDatacenterLogGuid, sizeof log.logPageGuid);
    return log;
}

}  // namespace

TEST(CNVMeStatus, EraseCountComesFromTheBestSourceAtHand) {
    CNVMeStatus status;
    status.DiskSize = 128 * 512000;  // 128 data units

    // Datacenter log first: its extremes, their middle as the average.
    const nvme::DatacenterSmartLog datacenter = Datacenter(12, 8);
    status.RatedCycles = 3000;
    status.UpdateFromLogs(Health(50, 0), nullptr, &datacenter);
    EXPECT_EQ(EraseCountSource::DatacenterLog, status.Source);
    EXPECT_EQ(10, status.AverageEraseCount);
    EXPECT_EQ(12, status.MaximumEraseCount);
    EXPECT_EQ(8, status.MinimumEraseCount);

    // Then percentage used x rated cycles, the endurance group's percentage
    // preferred over the health log's.
    nvme::EnduranceGroupLog group{};
    group.percentageUsed = 7;
    status.UpdateFromLogs(Health(50, 0), &group, nullptr);
    EXPECT_EQ(EraseCountSource::PercentageUsed, status.Source);
    EXPECT_EQ(210, status.AverageEraseCount);
    EXPECT_EQ("percentage used x 3000 rated P/E cycles / 100", status.EraseCountSourceText());

    // Last, whole drive writes: 384 units over a 128-unit drive.
    status.RatedCycles = 0;
    status.UpdateFromLogs(Health(50, 384), nullptr, nullptr);
    EXPECT_EQ(EraseCountSource::DriveWrites, status.Source);
    EXPECT_EQ(3, status.AverageEraseCount);
    EXPECT_EQ(7000u, status.TotalReadSectors);  // host-visible reads, 512-byte sectors
    EXPECT_FALSE(status.ReportsFlashErrorBits());

    // A log C0h without the datacenter GUID is not the datacenter log.
    nvme::DatacenterSmartLog other = datacenter;
    other.logPageGuid[0] ^= 1;
    EXPECT_FALSE(CNVMeStatus::IsDatacenterLog(other));
}

TEST(CNVMeStatus, RowReadsBackInBothLayouts) {
    for (bool withDatacenter : {false, true}) {
        CNVMeStatus written;
        written.HasDatacenterLog = withDatacenter;
        written.DiskSize = 512000;
        const nvme::DatacenterSmartLog datacenter = Datacenter(5, 3);
        written.UpdateFromLogs(Health(9, 21), nullptr, withDatacenter ? &datacenter : nullptr);
        written.SoftEccErrors = 44;
        const std::string header = written.GetCSVHeader();
        EXPECT_EQ(0u, header.find(withDatacenter ? "NVMe Health and Datacenter Log v1\n"
                                                 : "NVMe Health Log v1\n"));
        // As many column names as values in a row.
        const std::string row = written.GetCSVRow();
        const std::string names = header.substr(header.find('\n') + 1);
        EXPECT_EQ(std::count(names.begin(), names.end(), ','),
                  std::count(row.begin(), row.end(), ','));

        CNVMeStatus read;
        read.HasDatacenterLog = withDatacenter;
        ASSERT_TRUE(read.ReadFromCSV(row));
        EXPECT_EQ(row, read.GetCSVRow());
        // A row cut short is not taken as whole.
        EXPECT_FALSE(read.ReadFromCSV(row.substr(0, row.rfind(','))));
    }
}
