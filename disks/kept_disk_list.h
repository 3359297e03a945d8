// The disk list kept for the process: filled by the first successful
// enumeration, handed out as copies afterwards.
#pragma once

#include <functional>
#include <vector>

#include "platform/disk_list.h"

class KeptDiskList {
public:
    using Enumerator = std::function<bool(std::vector<platform::DiskRecord>*)>;

    explicit KeptDiskList(Enumerator enumerate);

    /// Replaces *disks with the kept list sorted by Index, enumerating first
    /// when the list has not been filled yet. False (disks untouched, nothing
    /// kept) when that enumeration fails.
    bool CopyTo(std::vector<platform::DiskRecord>* disks);

private:
    Enumerator enumerate_;
    std::vector<platform::DiskRecord> disks_;
    bool filled_ = false;
};
