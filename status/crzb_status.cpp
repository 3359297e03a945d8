// Status record of the second controller kind: its vendor attributes and its
// 12 status columns.
#include "status/crzb_status.h"

#include "platform/ata_wire.h"
#include "status/csv_format.h"

namespace {

namespace ata = platform::ata;
namespace rzb = platform::ata::rzb;

// Entry bytes first..last, most significant first.
std::uint32_t BigEndian(const std::uint8_t* entry, int first, int last) {
    std::uint32_t value = 0;
    for (int byte = first; byte <= last; ++byte) value = (value << 8) | entry[byte];
    return value;
}

}  // namespace

bool CRZBStatus::InitFromSmartData(const SmartDataBlock& block) {
    ForEachAttribute(block, [this](const std::uint8_t* entry) {
        if (entry[0] == rzb::kBlockCounts) {
            GoodBlockCount = BigEndian(entry, 4, 6);
            SystemBlockCount = BigEndian(entry, 7, 8);
        }
    });
    return true;
}

bool CRZBStatus::UpdateFromSmartData(const SmartDataBlock& block) {
    ForEachAttribute(block, [this](const std::uint8_t* entry) {
        switch (entry[0]) {
            case ata::kPowerCycleCount:
                // The usual raw value: entry bytes 5 to 8, little-endian.
                PowerCycleCount = static_cast<std::uint32_t>(entry[5]) |
                                  static_cast<std::uint32_t>(entry[6]) << 8 |
                                  static_cast<std::uint32_t>(entry[7]) << 16 |
                                  static_cast<std::uint32_t>(entry[8]) << 24;
                break;
            case rzb::kEccFail:
                ECCFailCount = BigEndian(entry, 4, 5);
                ECCFailAddress1 = entry[6];
                ECCFailAddress2 = entry[7];
                ECCFailAddress3 = entry[8];
                ECCFailChannel = entry[9];
                ECCFailBank = entry[10];
                break;
            case rzb::kEraseCounts:
                AverageEraseCount = static_cast<std::int32_t>(BigEndian(entry, 4, 6));
                MaximumEraseCount = static_cast<std::int32_t>(BigEndian(entry, 7, 9));
                break;
            case rzb::kBlockCounts:
                GoodBlockCount = BigEndian(entry, 4, 6);
                SystemBlockCount = BigEndian(entry, 7, 8);
                break;
            default:
                break;
        }
    });
    return true;
}

std::string CRZBStatus::GetCSVHeader() const {
    return JoinCsvHeader(
        "RZB411/412 Tallymark Log v1.0",
        {"Date-Time", "Power Cycle Count", "Average Erase Count", "Maximum Erase Count",
         "Good Block Count", "System Block Count", "ECC Fail Count", "ECC Fail Channel",
         "ECC Fail Bank", "ECC Fail Address1", "ECC Fail Address2", "ECC Fail Address3"});
}

std::string CRZBStatus::GetCSVRow() const {
    // Every 32-bit column is written unsigned, the base erase counts included.
    CsvRowWriter row;
    row.Add(DateTime)
        .Add(PowerCycleCount)
        .Add(static_cast<std::uint32_t>(AverageEraseCount))
        .Add(static_cast<std::uint32_t>(MaximumEraseCount))
        .Add(GoodBlockCount)
        .Add(SystemBlockCount)
        .Add(ECCFailCount)
        .Add(ECCFailChannel)
        .Add(ECCFailBank)
        .Add(static_cast<unsigned>(ECCFailAddress1))
        .Add(static_cast<unsigned>(ECCFailAddress2))
        .Add(static_cast<unsigned>(ECCFailAddress3));
    return row.Text();
}

bool CRZBStatus::ReadFromCSV(const std::string& text) {
    try {
        CsvRowReader row(text);
        return row.Read(&DateTime) && row.Read(&PowerCycleCount) &&
               row.ReadBits(&AverageEraseCount) && row.ReadBits(&MaximumEraseCount) &&
               row.Read(&GoodBlockCount) && row.Read(&SystemBlockCount) &&
               row.Read(&ECCFailCount) && row.Read(&ECCFailChannel) && row.Read(&ECCFailBank) &&
               row.ReadLowByte(&ECCFailAddress1) && row.ReadLowByte(&ECCFailAddress2) &&
               row.ReadLowByte(&ECCFailAddress3);
    } catch (const std::exception& error) {
        TraceReadFailure("CRZBStatus::ReadFromCSV", error);
        return false;
    }
}
