// Partition count of a disk from sysfs.
#include "platform/posix/io/partition_count.h"

#include <dirent.h>
#include <unistd.h>

namespace platform::posix {

int CountPartitionsIn(const std::string& diskDir) {
    DIR* folder = ::opendir(diskDir.c_str());
    if (folder == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.') continue;
        if (::access((diskDir + "/" + name + "/partition").c_str(), F_OK) == 0) ++count;
    }
    ::closedir(folder);
    return count;
}

int CountPartitions(unsigned major, unsigned minor) {
    return CountPartitionsIn("/sys/dev/block/" + std::to_string(major) + ":" +
                             std::to_string(minor));
}

std::vector<std::uint8_t> MbrPartitionTypes(const std::uint8_t* sector) {
    constexpr int kFirstEntry = 446, kEntryBytes = 16, kTypeOffset = 4;
    if (sector[510] != 0x55 || sector[511] != 0xAA) return {};
    std::vector<std::uint8_t> types;
    for (int entry = 0; entry < 4; ++entry)
        types.push_back(sector[kFirstEntry + entry * kEntryBytes + kTypeOffset]);
    return types;
}

}  // namespace platform::posix
