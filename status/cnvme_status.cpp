// Status record of an NVMe drive: reading and decoding its logs, its erase
// count and its status columns.
#include "status/cnvme_status.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "smart/nvme_channel.h"
#include "status/csv_format.h"

namespace {

namespace nvme = platform::nvme;

std::uint32_t ratedPeCycles = 0;

// Bytes of one data unit of the health log.
constexpr std::uint64_t kDataUnitBytes = 512000;

std::uint64_t Counter(const std::uint8_t* field, int bytes) {
    return nvme::LittleEndian(field, bytes);
}

// An erase count as the status keeps it, held at the largest 32-bit value.
std::int32_t EraseCount(std::uint64_t value) {
    return static_cast<std::int32_t>(std::min<std::uint64_t>(value, 0x7FFFFFFF));
}

const std::initializer_list<const char*> kHealthColumns = {
    "Date-Time",           "Average Erase Count",
    "Maximum Erase Count", "Minimum Erase Count",
    "Critical Warning",    "Temperature(K)",
    "Available Spare(%)",  "Percentage Used(%)",
    "Data Units Read",     "Data Units Written",
    "Host Read Commands",  "Host Write Commands",
    "Power Cycles",        "Power on Hours",
    "Unsafe Shutdowns",    "Media and Data Integrity Errors",
    "Error Log Entries"};
const std::initializer_list<const char*> kDatacenterColumns = {
    "Physical Media Units Written", "Physical Media Units Read", "Bad User NAND Blocks",
    "Bad System NAND Blocks",       "Uncorrectable Read Errors", "Soft ECC Errors"};

}  // namespace

void SetRatedPeCycles(std::uint32_t cycles) { ratedPeCycles = cycles; }

std::uint32_t RatedPeCycles() { return ratedPeCycles; }

bool CNVMeStatus::IsDatacenterLog(const nvme::DatacenterSmartLog& log) {
    return std::memcmp(log.logPageGuid, nvme::kDatacenterLogGuid, sizeof log.logPageGuid) == 0;
}

bool CNVMeStatus::Init(const platform::DiskRecord& disk) {
    DriveNumber = disk.Index;
    NvmeIdentity identity;
    if (!GetNvmeIdentity(platform::DriveNumberOf(DriveNumber), &identity)) return false;
    Model = identity.model;
    SerialNumber = identity.serial;
    FirmwareRevision = identity.firmware;
    DiskSize = identity.sizeBytes;
    EnduranceGroup = identity.enduranceGroup;
    nvme::DatacenterSmartLog datacenter{};
    HasDatacenterLog = NvmeReadLog(platform::DriveNumberOf(DriveNumber), nvme::kLogDatacenterSmart,
                                   0, reinterpret_cast<std::uint8_t*>(&datacenter), true) &&
                       IsDatacenterLog(datacenter);
    RatedCycles = RatedPeCycles();
    return Refresh();
}

bool CNVMeStatus::Refresh() {
    nvme::HealthLog health{};
    if (!NvmeReadLog(platform::DriveNumberOf(DriveNumber), nvme::kLogHealth, 0,
                     reinterpret_cast<std::uint8_t*>(&health)))
        return false;
    nvme::EnduranceGroupLog group{};
    const bool haveGroup =
        EnduranceGroup != 0 &&
        NvmeReadLog(platform::DriveNumberOf(DriveNumber), nvme::kLogEnduranceGroup, EnduranceGroup,
                    reinterpret_cast<std::uint8_t*>(&group));
    nvme::DatacenterSmartLog datacenter{};
    const bool haveDatacenter =
        HasDatacenterLog &&
        NvmeReadLog(platform::DriveNumberOf(DriveNumber), nvme::kLogDatacenterSmart, 0,
                    reinterpret_cast<std::uint8_t*>(&datacenter)) &&
        IsDatacenterLog(datacenter);
    DateTime = LocalTimeNow();
    UpdateFromLogs(health, haveGroup ? &group : nullptr, haveDatacenter ? &datacenter : nullptr);
    return true;
}

void CNVMeStatus::UpdateFromLogs(const nvme::HealthLog& health,
                                 const nvme::EnduranceGroupLog* group,
                                 const nvme::DatacenterSmartLog* datacenter) {
    CriticalWarning = health.criticalWarning;
    TemperatureKelvin = Counter(health.temperatureKelvin, 2);
    AvailableSpare = health.availableSpare;
    PercentageUsed = group != nullptr ? group->percentageUsed : health.percentageUsed;
    DataUnitsRead = Counter(health.dataUnitsRead, 16);
    DataUnitsWritten = Counter(health.dataUnitsWritten, 16);
    HostReadCommands = Counter(health.hostReadCommands, 16);
    HostWriteCommands = Counter(health.hostWriteCommands, 16);
    PowerCycles = Counter(health.powerCycles, 16);
    PowerOnHours = Counter(health.powerOnHours, 16);
    UnsafeShutdowns = Counter(health.unsafeShutdowns, 16);
    MediaErrors = Counter(health.mediaErrors, 16);
    ErrorLogEntries = Counter(health.errorLogEntries, 16);
    // The drive reports host-visible reads only: sectors of 512 bytes.
    TotalReadSectors =
        DataUnitsRead > ~std::uint64_t{0} / 1000 ? ~std::uint64_t{0} : DataUnitsRead * 1000;
    TotalErrorBitsFromFlash = 0;

    if (datacenter != nullptr) {
        PhysicalMediaUnitsWritten = Counter(datacenter->physicalMediaUnitsWritten, 16);
        PhysicalMediaUnitsRead = Counter(datacenter->physicalMediaUnitsRead, 16);
        BadUserNandBlocks = Counter(datacenter->badUserNandBlocks, 6);
        BadSystemNandBlocks = Counter(datacenter->badSystemNandBlocks, 6);
        UncorrectableReadErrors = Counter(datacenter->uncorrectableReadErrors, 8);
        SoftEccErrors = Counter(datacenter->softEccErrors, 8);
        const std::uint64_t maximum = Counter(datacenter->maximumUserDataEraseCount, 4);
        const std::uint64_t minimum = Counter(datacenter->minimumUserDataEraseCount, 4);
        // The log gives the extremes; their middle stands for the average.
        Source = EraseCountSource::DatacenterLog;
        MaximumEraseCount = EraseCount(maximum);
        MinimumEraseCount = EraseCount(minimum);
        AverageEraseCount = EraseCount((maximum + minimum) / 2);
        return;
    }
    std::uint64_t average = 0;
    if (RatedCycles != 0) {
        Source = EraseCountSource::PercentageUsed;
        average = PercentageUsed * RatedCycles / 100;
    } else {
        Source = EraseCountSource::DriveWrites;
        const std::uint64_t writtenUnits = DataUnitsWritten;
        // Whole drive writes; a drive of unknown size has none.
        if (DiskSize != 0)
            average = static_cast<std::uint64_t>(static_cast<double>(writtenUnits) *
                                                 kDataUnitBytes / static_cast<double>(DiskSize));
    }
    AverageEraseCount = EraseCount(average);
    MaximumEraseCount = AverageEraseCount;
    MinimumEraseCount = AverageEraseCount;
}

std::string CNVMeStatus::EraseCountSourceText() const {
    switch (Source) {
        case EraseCountSource::DatacenterLog:
            return "datacenter log user data erase counts";
        case EraseCountSource::PercentageUsed:
            return "percentage used x " + std::to_string(RatedCycles) + " rated P/E cycles / 100";
        case EraseCountSource::DriveWrites:
        default:
            return "drive writes (host writes / capacity)";
    }
}

bool CNVMeStatus::InitFromSmartData(const SmartDataBlock&) { return false; }

bool CNVMeStatus::UpdateFromSmartData(const SmartDataBlock&) { return false; }

std::string CNVMeStatus::GetCSVHeader() const {
    std::string header =
        JoinCsvHeader(HasDatacenterLog ? "NVMe Health and Datacenter Log v1" : "NVMe Health Log v1",
                      kHealthColumns);
    if (HasDatacenterLog) {
        for (const char* name : kDatacenterColumns) header += std::string(",") + name;
    }
    return header;
}

std::string CNVMeStatus::GetCSVRow() const {
    CsvRowWriter row;
    row.Add(DateTime)
        .Add(AverageEraseCount)
        .Add(MaximumEraseCount)
        .Add(MinimumEraseCount)
        .Add(CriticalWarning)
        .Add(TemperatureKelvin)
        .Add(AvailableSpare)
        .Add(PercentageUsed)
        .Add(DataUnitsRead)
        .Add(DataUnitsWritten)
        .Add(HostReadCommands)
        .Add(HostWriteCommands)
        .Add(PowerCycles)
        .Add(PowerOnHours)
        .Add(UnsafeShutdowns)
        .Add(MediaErrors)
        .Add(ErrorLogEntries);
    if (HasDatacenterLog) {
        row.Add(PhysicalMediaUnitsWritten)
            .Add(PhysicalMediaUnitsRead)
            .Add(BadUserNandBlocks)
            .Add(BadSystemNandBlocks)
            .Add(UncorrectableReadErrors)
            .Add(SoftEccErrors);
    }
    return row.Text();
}

bool CNVMeStatus::ReadFromCSV(const std::string& text) {
    try {
        CsvRowReader row(text);
        const bool health =
            row.Read(&DateTime) && row.ReadBits(&AverageEraseCount) &&
            row.ReadBits(&MaximumEraseCount) && row.ReadBits(&MinimumEraseCount) &&
            row.Read(&CriticalWarning) && row.Read(&TemperatureKelvin) &&
            row.Read(&AvailableSpare) && row.Read(&PercentageUsed) && row.Read(&DataUnitsRead) &&
            row.Read(&DataUnitsWritten) && row.Read(&HostReadCommands) &&
            row.Read(&HostWriteCommands) && row.Read(&PowerCycles) && row.Read(&PowerOnHours) &&
            row.Read(&UnsafeShutdowns) && row.Read(&MediaErrors) && row.Read(&ErrorLogEntries);
        if (!health || !HasDatacenterLog) return health;
        return row.Read(&PhysicalMediaUnitsWritten) && row.Read(&PhysicalMediaUnitsRead) &&
               row.Read(&BadUserNandBlocks) && row.Read(&BadSystemNandBlocks) &&
               row.Read(&UncorrectableReadErrors) && row.Read(&SoftEccErrors);
    } catch (const std::exception& error) {
        TraceReadFailure("CNVMeStatus::ReadFromCSV", error);
        return false;
    }
}
