// The drive registry: one status record per recognised drive, built on first use.
#pragma once

#include <memory>
#include <vector>

#include "platform/disk_list.h"
#include "smart/smart_data_block.h"
#include "status/cssd_status.h"

/// Kind codes of ClassifyDrive.
enum DriveKind { kDriveUnknown = 0, kDriveRZB = 1, kDriveKVT = 2 };

/// Classifies a drive by the set of attribute IDs present in its SMART page.
int ClassifyDrive(const SmartDataBlock& block);

class CSSDSmart {
public:
    CSSDSmart() = default;
    virtual ~CSSDSmart() = default;  // CreateStatus may be overridden
    CSSDSmart(const CSSDSmart&) = delete;
    CSSDSmart& operator=(const CSSDSmart&) = delete;

    /// A new, unbound record of the recognised kind, or nullptr.
    virtual CSSDStatus* CreateStatus(const SmartDataBlock& block);

    /// Reads the disk list and probes every disk, then refreshes all records.
    void BuildRegistry();
    /// Reads one disk's SMART page, classifies it and keeps its bound record.
    void ProbeDrive(const platform::DiskRecord& disk);
    /// Refreshes every record; a record whose read fails is skipped.
    void RefreshAll();

    std::vector<std::unique_ptr<CSSDStatus>> StatusList;
    std::vector<platform::DiskRecord> DiskList;
};

/// The process's registry, built on the first call.
CSSDSmart& GetSSDSmart();
