// The disk list kept for the process.
#include "disks/kept_disk_list.h"

#include <algorithm>
#include <utility>

KeptDiskList::KeptDiskList(Enumerator enumerate) : enumerate_(std::move(enumerate)) {}

bool KeptDiskList::CopyTo(std::vector<platform::DiskRecord>* disks) {
    if (disks == nullptr) return false;
    if (!filled_) {
        std::vector<platform::DiskRecord> fresh;
        if (!enumerate_(&fresh)) return false;
        std::stable_sort(fresh.begin(), fresh.end(),
                         [](const platform::DiskRecord& a, const platform::DiskRecord& b) {
                             return a.Index < b.Index;
                         });
        disks_ = std::move(fresh);
        filled_ = true;
    }
    *disks = disks_;
    return true;
}
