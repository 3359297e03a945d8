// Disk list from sysfs and the natural order of disk names.
#include "platform/posix/drive/sysfs_disks.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace platform::posix {
namespace {

// ---- natural order ---------------------------------------------------------

struct NameToken {
    bool isNumber = false;
    std::string text;  // letters, or the digits without leading zeros
};

// Families whose disks are named prefix + letters, counted a..z, aa..zz, ...
const char* const kLetterFamilies[] = {"xvd", "sd", "vd", "hd"};

// The kernel's letter suffix as a number (a=1 ... z=26, aa=27) written in
// decimal, so that it compares like any digit run.
std::string LetterSuffixNumber(const std::string& letters) {
    unsigned long long value = 0;
    for (char c : letters) value = value * 26 + static_cast<unsigned>(c - 'a' + 1);
    return std::to_string(value);
}

std::vector<NameToken> NameKey(const std::string& name) {
    for (const char* family : kLetterFamilies) {
        const std::string prefix = family;
        if (name.size() <= prefix.size() || name.size() > prefix.size() + 12) continue;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string letters = name.substr(prefix.size());
        if (std::all_of(letters.begin(), letters.end(),
                        [](char c) { return c >= 'a' && c <= 'z'; }))
            return {{false, prefix}, {true, LetterSuffixNumber(letters)}};
    }
    std::vector<NameToken> tokens;
    for (std::size_t at = 0; at < name.size();) {
        const bool digits = std::isdigit(static_cast<unsigned char>(name[at])) != 0;
        std::size_t end = at;
        while (end < name.size() &&
               (std::isdigit(static_cast<unsigned char>(name[end])) != 0) == digits)
            ++end;
        std::string run = name.substr(at, end - at);
        if (digits) {
            const std::size_t firstNonZero = run.find_first_not_of('0');
            run = firstNonZero == std::string::npos ? "0" : run.substr(firstNonZero);
        }
        tokens.push_back({digits, run});
        at = end;
    }
    return tokens;
}

int CompareTokens(const NameToken& a, const NameToken& b) {
    if (a.isNumber != b.isNumber) return a.isNumber ? -1 : 1;
    if (a.isNumber && a.text.size() != b.text.size()) return a.text.size() < b.text.size() ? -1 : 1;
    return a.text.compare(b.text);
}

// ---- sysfs reading ---------------------------------------------------------

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n\v\f";
    std::string cut = text.substr(0, text.find('\0'));
    const std::size_t first = cut.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    const std::size_t last = cut.find_last_not_of(blanks);
    return cut.substr(first, last - first + 1);
}

bool ReadWholeFile(const std::string& path, std::string* content) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    content->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

std::string ReadTrimmed(const std::string& path) {
    std::string content;
    return ReadWholeFile(path, &content) ? Trim(content) : std::string();
}

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// The unit serial number VPD page: 4 header bytes, then the serial text.
std::string SerialFromVpdPage80(const std::string& path) {
    std::string page;
    if (!ReadWholeFile(path, &page) || page.size() < 4) return {};
    const auto high = static_cast<std::size_t>(static_cast<unsigned char>(page[2]));
    const auto low = static_cast<std::size_t>(static_cast<unsigned char>(page[3]));
    const std::size_t length = (high << 8) | low;
    return Trim(page.substr(4, length));
}

std::string ReadSerial(const std::string& diskDir) {
    const std::string candidates[] = {diskDir + "/device/serial", diskDir + "/serial"};
    for (const std::string& path : candidates) {
        std::string serial = ReadTrimmed(path);
        if (!serial.empty()) return serial;
    }
    std::string vpdSerial = SerialFromVpdPage80(diskDir + "/device/vpd_pg80");
    if (!vpdSerial.empty()) return vpdSerial;
    return ReadTrimmed(diskDir + "/device/wwid");
}

// Host and target from the H:C:T:L name the device link of a SCSI disk ends in.
void ReadScsiAddress(const std::string& diskDir, SysfsDisk* disk) {
    char resolved[PATH_MAX];
    if (::realpath((diskDir + "/device").c_str(), resolved) == nullptr) return;
    std::string last = resolved;
    last = last.substr(last.find_last_of('/') + 1);
    int host = 0, channel = 0, target = 0, lun = 0;
    char tail = 0;
    if (std::sscanf(last.c_str(), "%d:%d:%d:%d%c", &host, &channel, &target, &lun, &tail) == 4) {
        disk->scsiHost = host;
        disk->scsiTarget = target;
    }
}

bool IsDisk(const std::string& name, const std::string& diskDir, std::int64_t sizeBytes) {
    if (sizeBytes <= 0) return false;
    if (ReadTrimmed(diskDir + "/hidden") == "1") return false;
    if (Exists(diskDir + "/device")) return true;
    return name.compare(0, 4, "loop") == 0 && !ReadTrimmed(diskDir + "/loop/backing_file").empty();
}

std::int64_t ReadSizeBytes(const std::string& diskDir) {
    const std::string sectors = ReadTrimmed(diskDir + "/size");
    if (sectors.empty() ||
        !std::all_of(sectors.begin(), sectors.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    return std::strtoll(sectors.c_str(), nullptr, 10) * 512;
}

bool IsSafeName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

bool DiskNameLess(const std::string& a, const std::string& b) {
    const std::vector<NameToken> keyA = NameKey(a), keyB = NameKey(b);
    const std::size_t common = std::min(keyA.size(), keyB.size());
    for (std::size_t i = 0; i < common; ++i) {
        const int order = CompareTokens(keyA[i], keyB[i]);
        if (order != 0) return order < 0;
    }
    if (keyA.size() != keyB.size()) return keyA.size() < keyB.size();
    return a < b;  // "sda01" against "sda1": keep the order total
}

std::optional<std::vector<SysfsDisk>> ScanBlockDevices(const std::string& sysBlockRoot) {
    DIR* folder = ::opendir(sysBlockRoot.c_str());
    if (folder == nullptr) return std::nullopt;
    std::vector<SysfsDisk> disks;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.') continue;
        const std::string diskDir = sysBlockRoot + "/" + name;
        SysfsDisk disk;
        disk.name = name;
        disk.sizeBytes = ReadSizeBytes(diskDir);
        if (!IsDisk(name, diskDir, disk.sizeBytes)) continue;
        disk.model = ReadTrimmed(diskDir + "/device/model");
        disk.serial = ReadSerial(diskDir);
        ReadScsiAddress(diskDir, &disk);
        disks.push_back(disk);
    }
    ::closedir(folder);
    return disks;
}

std::vector<std::string> ParseDiskSelection(const std::string& text) {
    std::string spaced = text;
    std::replace(spaced.begin(), spaced.end(), ',', ' ');
    std::istringstream words(spaced);
    std::vector<std::string> names;
    for (std::string word; words >> word;) {
        if (word.compare(0, 5, "/dev/") == 0) word = word.substr(5);
        names.push_back(IsSafeName(word) ? word : std::string());
    }
    return names;
}

std::vector<NumberedDisk> NumberDisks(std::vector<SysfsDisk> disks,
                                      const std::vector<std::string>* selection) {
    std::vector<NumberedDisk> numbered;
    if (selection == nullptr || selection->empty()) {
        std::sort(disks.begin(), disks.end(), [](const SysfsDisk& a, const SysfsDisk& b) {
            return DiskNameLess(a.name, b.name);
        });
        for (std::size_t i = 0; i < disks.size(); ++i)
            numbered.push_back({static_cast<std::int32_t>(i), disks[i]});
        return numbered;
    }
    std::set<std::string> taken;
    for (std::size_t position = 0; position < selection->size(); ++position) {
        const std::string& name = (*selection)[position];
        if (name.empty() || !taken.insert(name).second) continue;
        const auto found = std::find_if(disks.begin(), disks.end(),
                                        [&](const SysfsDisk& disk) { return disk.name == name; });
        if (found != disks.end()) numbered.push_back({static_cast<std::int32_t>(position), *found});
    }
    return numbered;
}

std::optional<std::vector<NumberedDisk>> ReadNumberedDisks() {
    std::optional<std::vector<SysfsDisk>> disks = ScanBlockDevices(kSysBlockRoot);
    if (!disks) return std::nullopt;
    const char* selectionText = std::getenv(kDiskSelectionVariable);
    const std::vector<std::string> selection =
        selectionText != nullptr ? ParseDiskSelection(selectionText) : std::vector<std::string>();
    return NumberDisks(std::move(*disks), &selection);
}

}  // namespace platform::posix
