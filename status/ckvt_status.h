// Status record of the supported controller kind.
#pragma once

#include <cstdint>
#include <map>

#include "status/cssd_status.h"

class CKVTStatus : public CSSDStatus {
public:
    bool ReadFromCSV(const std::string& row) override;
    std::string GetCSVRow() const override;
    std::string GetCSVHeader() const override;
    bool InitFromSmartData(const SmartDataBlock& block) override;
    bool UpdateFromSmartData(const SmartDataBlock& block) override;
    std::unique_ptr<CSSDStatus> Clone() const override {
        return std::make_unique<CKVTStatus>(*this);
    }

    std::uint64_t RawReadErrorRate = 0;
    std::uint64_t PowerOnHours = 0;
    std::uint64_t PowerCycleCount = 0;
    std::uint64_t InitialBadBlockCount = 0;
    std::uint64_t ProgramFailureBlockCount = 0;
    std::uint64_t EraseFailureBlockCount = 0;
    std::uint64_t ReadFailureBlockCount = 0;
    std::uint64_t TotalWriteSectors = 0;
    std::uint64_t TotalReadCommands = 0;
    std::uint64_t TotalWriteCommands = 0;
    std::uint64_t TotalCorrectableReadSectors = 0;
    std::uint64_t BadBlockFullFlag = 0;
    std::uint64_t MaximumPECountSpecification = 0;
    std::int32_t MinimumEraseCount = 0;
    std::map<std::uint8_t, std::uint64_t> OtherAttributes;
};
