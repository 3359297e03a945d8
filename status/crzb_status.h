// Status record of the second controller kind (recognised, never tested).
#pragma once

#include <cstdint>

#include "status/cssd_status.h"

class CRZBStatus : public CSSDStatus {
public:
    bool ReadFromCSV(const std::string& row) override;
    std::string GetCSVRow() const override;
    std::string GetCSVHeader() const override;
    bool InitFromSmartData(const SmartDataBlock& block) override;
    bool UpdateFromSmartData(const SmartDataBlock& block) override;
    std::unique_ptr<CSSDStatus> Clone() const override {
        return std::make_unique<CRZBStatus>(*this);
    }

    std::uint32_t PowerCycleCount = 0;
    std::uint32_t GoodBlockCount = 0;
    std::uint32_t SystemBlockCount = 0;
    std::uint32_t ECCFailCount = 0;
    std::uint32_t ECCFailChannel = 0;
    std::uint32_t ECCFailBank = 0;
    std::uint8_t ECCFailAddress1 = 0;
    std::uint8_t ECCFailAddress2 = 0;
    std::uint8_t ECCFailAddress3 = 0;
};
