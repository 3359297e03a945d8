// Disk list service for Linux: the whole-disk block devices from sysfs.
#include "platform/disk_list.h"

#include <optional>
#include <string>
#include <vector>

#include "platform/posix/drive/disk_numbering.h"

namespace platform {
namespace {

// sysfs texts are ASCII; each byte becomes one wide character.
std::wstring Widen(const std::string& text) {
    std::wstring wide;
    for (char c : text) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return wide;
}

}  // namespace

std::wstring DiskListFailureReason() { return L"The disk list /sys/block cannot be read."; }

bool EnumerateDisks(std::vector<DiskRecord>* disks) {
    const std::optional<std::vector<posix::NumberedDisk>> numbered = posix::RefreshDiskNumbering();
    if (!numbered) return false;
    for (const posix::NumberedDisk& entry : *numbered) {
        DiskRecord record;
        record.Size = entry.disk.sizeBytes;
        record.Index = entry.index;
        record.Model = Widen(entry.disk.model);
        // Linux delivers serials in reading order; no pair swap here.
        record.SerialNumber = Widen(entry.disk.serial);
        record.SCSIPort = entry.disk.scsiHost;
        record.SCSITargetId = entry.disk.scsiTarget;
        disks->push_back(record);
    }
    return true;
}

}  // namespace platform
