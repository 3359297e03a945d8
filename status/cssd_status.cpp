// Status record base: binding to a disk and refreshing from the drive.
#include "status/cssd_status.h"

#include <boost/date_time/posix_time/posix_time.hpp>

#include "smart/smart_channel.h"

CSSDStatus::CSSDStatus() = default;

CSSDStatus::~CSSDStatus() = default;

bool CSSDStatus::Init(const platform::DiskRecord& disk) {
    DriveNumber = disk.Index;
    std::uint8_t identifyPage[512];
    DriveIdentity identity;
    if (!GetIdentifyData(platform::DriveNumberOf(DriveNumber), identifyPage, &identity))
        return false;
    SmartDataBlock block;
    if (!GetSmartReadData(platform::DriveNumberOf(DriveNumber), &block)) return false;
    Model = identity.model;
    FirmwareRevision = identity.firmware;
    SerialNumber = identity.serial;
    DiskSize = static_cast<std::uint64_t>(disk.Size);
    return InitFromSmartData(block);
}

bool CSSDStatus::Refresh() {
    SmartDataBlock block;
    // A failed read leaves the record as it was; the channel has noted why.
    if (!GetSmartReadData(platform::DriveNumberOf(DriveNumber), &block)) return false;
    DateTime = LocalTimeNow();
    UpdateFromSmartData(block);
    return true;
}

boost::posix_time::ptime LocalTimeNow() {
    // The second clock throws std::runtime_error("could not convert calendar
    // time to local time") when the conversion fails.
    return boost::posix_time::second_clock::local_time();
}
