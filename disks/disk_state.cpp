// The list of physical disks, enumerated once per process.
#include "disks/disk_state.h"

#include "disks/kept_disk_list.h"

bool GetDiskState(std::vector<DiskRecord>* disks) {
    static KeptDiskList kept(platform::EnumerateDisks);
    return kept.CopyTo(disks);
}
