// The process-wide numbering of the disks.
#include "platform/posix/drive/disk_numbering.h"

#include <mutex>

namespace platform::posix {
namespace {

struct KeptNumbering {
    std::mutex lock;
    bool read = false;
    std::vector<NumberedDisk> disks;
};

KeptNumbering& Kept() {
    static KeptNumbering kept;
    return kept;
}

}  // namespace

std::optional<std::vector<NumberedDisk>> RefreshDiskNumbering() {
    std::optional<std::vector<NumberedDisk>> disks = ReadNumberedDisks();
    if (!disks) return std::nullopt;
    KeptNumbering& kept = Kept();
    std::lock_guard<std::mutex> guard(kept.lock);
    kept.disks = *disks;
    kept.read = true;
    return disks;
}

std::string DiskNameOf(platform::DriveNumber driveNumber) {
    KeptNumbering& kept = Kept();
    {
        std::lock_guard<std::mutex> guard(kept.lock);
        if (!kept.read) {
            std::optional<std::vector<NumberedDisk>> disks = ReadNumberedDisks();
            if (disks) {
                kept.disks = *disks;
                kept.read = true;
            }
        }
        for (const NumberedDisk& entry : kept.disks)
            if (DriveNumberOf(entry.index) == driveNumber) return entry.disk.name;
    }
    return {};
}

}  // namespace platform::posix
