// Who uses a block device, as sysfs and /proc tell: partitions, holders,
// mounts, active swap and open files of other processes.
#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "platform/posix/probe/probe_steps.h"

namespace platform::posix {
namespace {

std::string SysfsFolder(dev_t device) {
    return "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

/// Names in `folder` (dot entries left out) for which `keep` holds.
template <typename Keep>
std::vector<std::string> Entries(const std::string& folder, Keep keep) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!name.empty() && name[0] != '.' && keep(name)) names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : " ") + name;
    return text;
}

bool SameDevice(const std::string& path, dev_t device) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISBLK(info.st_mode) && info.st_rdev == device;
}

}  // namespace

std::string ListPartitions(dev_t device) {
    const std::string folder = SysfsFolder(device);
    return JoinNames(Entries(folder, [&folder](const std::string& name) {
        return ::access((folder + "/" + name + "/partition").c_str(), F_OK) == 0;
    }));
}

std::string ListHolders(dev_t device) {
    return JoinNames(
        Entries(SysfsFolder(device) + "/holders", [](const std::string&) { return true; }));
}

std::string FindMountOrSwap(const std::string& path, dev_t device) {
    // mountinfo: "id parent major:minor root mountpoint options ... - type source ..."
    const std::string number = std::to_string(major(device)) + ":" + std::to_string(minor(device));
    std::ifstream mounts("/proc/self/mountinfo");
    for (std::string line; std::getline(mounts, line);) {
        std::istringstream fields(line);
        std::string id, parent, deviceNumber, root, mountPoint;
        fields >> id >> parent >> deviceNumber >> root >> mountPoint;
        const auto dash = line.find(" - ");
        std::string type, source;
        if (dash != std::string::npos) std::istringstream(line.substr(dash + 3)) >> type >> source;
        if (deviceNumber == number || source == path) return "mounted on " + mountPoint;
    }
    std::ifstream swaps("/proc/swaps");
    std::string header;
    std::getline(swaps, header);
    for (std::string name; swaps >> name; swaps.ignore(4096, '\n'))
        if (SameDevice(name, device)) return "in use as swap";
    return std::string();
}

std::string FindOtherOpener(dev_t device) {
    const std::string self = std::to_string(::getpid());
    const auto isProcess = [&self](const std::string& name) {
        return name != self && name.find_first_not_of("0123456789") == std::string::npos;
    };
    for (const std::string& pid : Entries("/proc", isProcess)) {
        const std::string fdFolder = "/proc/" + pid + "/fd";
        const auto holdsDevice = [&fdFolder, device](const std::string& fd) {
            return SameDevice(fdFolder + "/" + fd, device);
        };
        if (Entries(fdFolder, holdsDevice).empty()) continue;
        std::string command;
        std::getline(std::ifstream("/proc/" + pid + "/comm"), command);
        return pid + " (" + command + ")";
    }
    return std::string();
}

}  // namespace platform::posix
