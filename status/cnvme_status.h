// Status record of an NVMe drive: identity from Identify, health from the
// SMART / Health log, and where offered the endurance group and datacenter
// logs; its own log layout and its erase count.
#pragma once

#include <cstdint>
#include <string>

#include "platform/nvme_wire.h"
#include "status/cssd_status.h"

/// Where an NVMe drive's average erase count comes from, best first.
enum class EraseCountSource {
    DatacenterLog,   ///< the datacenter log's user data erase counts
    PercentageUsed,  ///< percentage used x rated P/E cycles / 100
    DriveWrites,     ///< host writes / capacity
};

/// The rated P/E cycles of the drives under test (0: not given); a run sets
/// it before the drives are read.
void SetRatedPeCycles(std::uint32_t cycles);
std::uint32_t RatedPeCycles();

class CNVMeStatus : public CSSDStatus {
public:
    /// Identify, then the logs: false when Identify or the health log fails.
    bool Init(const platform::DiskRecord& disk) override;
    /// Reads the logs again; a failed health log read changes nothing.
    bool Refresh() override;
    bool ReadFromCSV(const std::string& row) override;
    std::string GetCSVRow() const override;
    std::string GetCSVHeader() const override;
    /// The ATA pages do not apply: always false.
    bool InitFromSmartData(const SmartDataBlock& block) override;
    bool UpdateFromSmartData(const SmartDataBlock& block) override;
    std::unique_ptr<CSSDStatus> Clone() const override {
        return std::make_unique<CNVMeStatus>(*this);
    }
    bool ReportsFlashErrorBits() const override { return false; }

    /// Decodes one reading: the health log, and the endurance group and
    /// datacenter logs when given (nullptr: not offered). Sets the erase
    /// counts from the best source at hand.
    void UpdateFromLogs(const platform::nvme::HealthLog& health,
                        const platform::nvme::EnduranceGroupLog* group,
                        const platform::nvme::DatacenterSmartLog* datacenter);
    /// "datacenter log user data erase counts", "percentage used x 3000 rated
    /// P/E cycles / 100" or "drive writes (host writes / capacity)".
    std::string EraseCountSourceText() const;

    /// True when the drive's log C0h carries the datacenter log's GUID.
    static bool IsDatacenterLog(const platform::nvme::DatacenterSmartLog& log);

    std::uint16_t EnduranceGroup = 0;  ///< 0: no endurance group log is read
    bool HasDatacenterLog = false;     ///< decided at Init: the layout's extra columns
    EraseCountSource Source = EraseCountSource::DriveWrites;
    std::uint32_t RatedCycles = 0;

    std::int32_t MinimumEraseCount = 0;
    std::uint64_t CriticalWarning = 0;
    std::uint64_t TemperatureKelvin = 0;
    std::uint64_t AvailableSpare = 0;
    std::uint64_t PercentageUsed = 0;  ///< the endurance group's where read
    std::uint64_t DataUnitsRead = 0;   ///< thousands of 512-byte units
    std::uint64_t DataUnitsWritten = 0;
    std::uint64_t HostReadCommands = 0;
    std::uint64_t HostWriteCommands = 0;
    std::uint64_t PowerCycles = 0;
    std::uint64_t PowerOnHours = 0;
    std::uint64_t UnsafeShutdowns = 0;
    std::uint64_t MediaErrors = 0;
    std::uint64_t ErrorLogEntries = 0;
    // From the datacenter log.
    std::uint64_t PhysicalMediaUnitsWritten = 0;
    std::uint64_t PhysicalMediaUnitsRead = 0;
    std::uint64_t BadUserNandBlocks = 0;
    std::uint64_t BadSystemNandBlocks = 0;
    std::uint64_t UncorrectableReadErrors = 0;
    std::uint64_t SoftEccErrors = 0;
};
