// Status record of the supported controller kind: decoding its SMART
// attributes and its 23 status columns.
#include "status/ckvt_status.h"

#include "platform/ata_wire.h"
#include "status/csv_format.h"

namespace {

namespace ata = platform::ata;
namespace kvt = platform::ata::kvt;

// Optional attributes shown in the last four columns.
constexpr std::uint8_t kOptionalColumnIds[] = {kvt::kBbmErrorLog, kvt::kSataCrcErrors,
                                               kvt::kSataHandshakeErrors, kvt::kSataLinkStatus};

// Entry bytes 3 to 10 as one little-endian number, byte 3 the least significant.
std::uint64_t EntryValue(const std::uint8_t* entry) {
    std::uint64_t value = 0;
    for (int byte = 10; byte >= 3; --byte) value = (value << 8) | entry[byte];
    return value;
}

}  // namespace

bool CKVTStatus::InitFromSmartData(const SmartDataBlock&) { return true; }

bool CKVTStatus::UpdateFromSmartData(const SmartDataBlock& block) {
    ForEachAttribute(block, [this](const std::uint8_t* entry) {
        const std::uint64_t value = EntryValue(entry);
        const auto low32 = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
        switch (entry[0]) {
            case ata::kRawReadErrorRate:
                RawReadErrorRate = value;
                break;
            case ata::kPowerOnHours:
                PowerOnHours = value;
                break;
            case ata::kPowerCycleCount:
                PowerCycleCount = value;
                break;
            case kvt::kInitialBadBlocks:
                InitialBadBlockCount = value;
                break;
            case kvt::kProgramFailureBlocks:
                ProgramFailureBlockCount = value;
                break;
            case kvt::kEraseFailureBlocks:
                EraseFailureBlockCount = value;
                break;
            case kvt::kReadFailureBlocks:
                ReadFailureBlockCount = value;
                break;
            case kvt::kTotalReadSectors:
                TotalReadSectors = value;
                break;
            case kvt::kTotalWriteSectors:
                TotalWriteSectors = value;
                break;
            case kvt::kTotalReadCommands:
                TotalReadCommands = value;
                break;
            case kvt::kTotalWriteCommands:
                TotalWriteCommands = value;
                break;
            case kvt::kErrorBitsFromFlash:
                TotalErrorBitsFromFlash = value;
                break;
            case kvt::kCorrectableReadSectors:
                TotalCorrectableReadSectors = value;
                break;
            case kvt::kBadBlockFullFlag:
                BadBlockFullFlag = value;
                break;
            case kvt::kMaximumPeCount:
                MaximumPECountSpecification = value;
                break;
            case kvt::kMinimumEraseCount:
                MinimumEraseCount = low32;
                break;
            case kvt::kMaximumEraseCount:
                MaximumEraseCount = low32;
                break;
            case kvt::kAverageEraseCount:
                AverageEraseCount = low32;
                break;
            case kvt::kLifeLeftPercent:  // not shown
                break;
            default:
                OtherAttributes[entry[0]] = value;
                break;
        }
    });
    return true;
}

std::string CKVTStatus::GetCSVHeader() const {
    return JoinCsvHeader("Pinewade Tallymark Log v1.1",
                         {"Date-Time",
                          "Average Erase Count",
                          "Maximum Erase Count",
                          "Minimum Erase Count",
                          "Power Cycle Count",
                          "Power on Hours",
                          "Raw Read Error Rate",
                          "Initial Bad Block Count",
                          "Program Failure Block Count",
                          "Erase Failure Block Count",
                          "Read Failure Block Count",
                          "Total Count of Error Bits from Flash",
                          "Total Count of Read Sectors with Correctable Bit Errors",
                          "Maximum PE Count Specification",
                          "Bad Block Full Flag",
                          "Total Count of Read Sectors",
                          "Total Count of Read Commands",
                          "Total Count of Write Sectors",
                          "Total Count of Write Commands",
                          "BBM Error Log",
                          "SATA Error Count CRC",
                          "SATA Error Count HANDSHAKE",
                          "SATA Link Status1"});
}

std::string CKVTStatus::GetCSVRow() const {
    CsvRowWriter row;
    row.Add(DateTime)
        .Add(AverageEraseCount)
        .Add(MaximumEraseCount)
        .Add(MinimumEraseCount)
        .Add(PowerCycleCount)
        .Add(PowerOnHours)
        .Add(RawReadErrorRate)
        .Add(InitialBadBlockCount)
        .Add(ProgramFailureBlockCount)
        .Add(EraseFailureBlockCount)
        .Add(ReadFailureBlockCount)
        .Add(TotalErrorBitsFromFlash)
        .Add(TotalCorrectableReadSectors)
        .Add(MaximumPECountSpecification)
        .Add(BadBlockFullFlag)
        .Add(TotalReadSectors)
        .Add(TotalReadCommands)
        .Add(TotalWriteSectors)
        .Add(TotalWriteCommands);
    for (std::uint8_t id : kOptionalColumnIds) {
        const auto found = OtherAttributes.find(id);
        if (found == OtherAttributes.end()) {
            row.AddText("-1");
        } else {
            row.Add(found->second);
        }
    }
    return row.Text();
}

bool CKVTStatus::ReadFromCSV(const std::string& text) {
    try {
        CsvRowReader row(text);
        // Each value is stored as soon as it converts, so the columns read
        // before a missing or broken one stay stored.
        const bool fixedColumns =
            row.Read(&DateTime) && row.ReadBits(&AverageEraseCount) &&
            row.ReadBits(&MaximumEraseCount) && row.ReadBits(&MinimumEraseCount) &&
            row.Read(&PowerCycleCount) && row.Read(&PowerOnHours) && row.Read(&RawReadErrorRate) &&
            row.Read(&InitialBadBlockCount) && row.Read(&ProgramFailureBlockCount) &&
            row.Read(&EraseFailureBlockCount) && row.Read(&ReadFailureBlockCount) &&
            row.Read(&TotalErrorBitsFromFlash) && row.Read(&TotalCorrectableReadSectors) &&
            row.Read(&MaximumPECountSpecification) && row.Read(&BadBlockFullFlag) &&
            row.Read(&TotalReadSectors) && row.Read(&TotalReadCommands) &&
            row.Read(&TotalWriteSectors) && row.Read(&TotalWriteCommands);
        if (!fixedColumns) return false;
        // The optional columns are taken only for attributes the record holds.
        for (std::uint8_t id : kOptionalColumnIds) {
            const auto found = OtherAttributes.find(id);
            const bool present =
                found == OtherAttributes.end() ? row.Skip() : row.Read(&found->second);
            if (!present) return false;
        }
        return true;
    } catch (const std::exception& error) {
        TraceReadFailure("CKVTStatus::ReadFromCSV", error);
        return false;
    }
}
