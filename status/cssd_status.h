// Abstract status record of one drive: identity, wear and error counters, and
// the local time they were read.
#pragma once

#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/disk_list.h"
#include "smart/smart_data_block.h"

class CSSDStatus {
public:
    CSSDStatus();
    virtual ~CSSDStatus();

    /// Parses a row written by GetCSVRow; true when every column was present.
    virtual bool ReadFromCSV(const std::string& row) = 0;
    /// The record's values as one comma-separated row, without a line end.
    virtual std::string GetCSVRow() const = 0;
    /// Title line, a line feed and the column names, without a final line end.
    virtual std::string GetCSVHeader() const = 0;
    /// One-time initialisation from the block read during Init.
    virtual bool InitFromSmartData(const SmartDataBlock& block) = 0;
    /// Decodes a freshly read block into the counters.
    virtual bool UpdateFromSmartData(const SmartDataBlock& block) = 0;

    /// A copy of the record of the same kind.
    virtual std::unique_ptr<CSSDStatus> Clone() const = 0;
    /// True when TotalErrorBitsFromFlash counts the raw bit errors the drive
    /// corrected; false when the drive reports none and only the errors the
    /// host sees give the bit error rates.
    virtual bool ReportsFlashErrorBits() const { return true; }

    /// Binds the record to a disk: number, identity texts, size. False when the
    /// IDENTIFY or SMART read fails, else the result of InitFromSmartData.
    virtual bool Init(const platform::DiskRecord& disk);
    /// Reads SMART again; on success stamps DateTime and decodes. A failed read
    /// changes nothing and returns false.
    virtual bool Refresh();

    std::int32_t DriveNumber = 0;
    std::string Model;
    std::string SerialNumber;
    std::string FirmwareRevision;
    std::uint64_t DiskSize = 0;
    std::int32_t AverageEraseCount = 0;
    std::int32_t MaximumEraseCount = 0;
    /// Sectors of 512 bytes the drive has read, and the flash error bits it
    /// corrected in them (0 where ReportsFlashErrorBits is false).
    std::uint64_t TotalReadSectors = 0;
    std::uint64_t TotalErrorBitsFromFlash = 0;
    boost::posix_time::ptime DateTime;  // not-a-date-time until the first refresh

protected:
    CSSDStatus(const CSSDStatus&) = default;
    CSSDStatus& operator=(const CSSDStatus&) = default;
};

/// The current local time to the second; throws std::runtime_error
/// "could not convert calendar time to local time" when it cannot be had.
boost::posix_time::ptime LocalTimeNow();
