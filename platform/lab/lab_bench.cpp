#include "platform/lab/lab_bench.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <stdexcept>

#include "platform/process.h"

namespace platform::lab {
namespace {

using nlohmann::json;

constexpr std::int64_t kMiB = 1048576;
/// Deepest nesting of objects and lists a bench may have; a real bench needs 5.
constexpr std::size_t kMaxNesting = 32;
/// A controller state file is a few kilobytes (its block table at most a few
/// megabytes); anything far larger is not one.
constexpr std::int64_t kMaxStateBytes = 16 * 1048576;

/// A bench error: its text is the one-line reason.
struct BenchError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string JoinFolder(const std::string& folder, const std::string& name) {
    if (!name.empty() && name.front() == '/') return name;
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

/// The image path with its extension replaced by ".state".
std::string StatePathForImage(const std::string& imagePath) {
    const auto slash = imagePath.find_last_of('/');
    const auto dot = imagePath.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        return imagePath.substr(0, dot) + ".state";
    return imagePath + ".state";
}

class EntryReader {
public:
    EntryReader(const json& entry, std::string where) : entry_(entry), where_(std::move(where)) {}

    [[noreturn]] void Fail(const std::string& key, const std::string& what) const {
        throw BenchError(where_ + ": \"" + key + "\" " + what);
    }

    bool Has(const std::string& key) const { return entry_.contains(key); }

    std::int64_t Integer(const std::string& key, std::int64_t low, std::int64_t high,
                         std::int64_t fallback, bool required = false) const {
        if (!Has(key)) {
            if (required) Fail(key, "is missing");
            return fallback;
        }
        const json& value = entry_.at(key);
        if (!value.is_number_integer())
            Fail(key,
                 "must be an integer from " + std::to_string(low) + " to " + std::to_string(high));
        const std::int64_t number = value.get<std::int64_t>();
        if (number < low || number > high)
            Fail(key,
                 "must be an integer from " + std::to_string(low) + " to " + std::to_string(high));
        return number;
    }

    double Real(const std::string& key, double low, double high, double fallback) const {
        if (!Has(key)) return fallback;
        const json& value = entry_.at(key);
        if (!value.is_number()) Fail(key, "must be a number");
        const double number = value.get<double>();
        if (!(number >= low && number <= high)) {
            std::ostringstream range;
            range << "must be a number from " << low << " to " << high;
            Fail(key, range.str());
        }
        return number;
    }

    bool Flag(const std::string& key) const {
        if (!Has(key)) return false;
        if (!entry_.at(key).is_boolean()) Fail(key, "must be true or false");
        return entry_.at(key).get<bool>();
    }

    /// A printable ASCII text of at most maxLength characters.
    std::string Text(const std::string& key, std::size_t maxLength, bool required) const {
        if (!Has(key)) {
            if (required) Fail(key, "is missing");
            return std::string();
        }
        if (!entry_.at(key).is_string()) Fail(key, "must be a text");
        std::string text = entry_.at(key).get<std::string>();
        if (text.size() > maxLength)
            Fail(key, "must have at most " + std::to_string(maxLength) + " characters");
        for (char c : text)
            if (c < 0x20 || c > 0x7E) Fail(key, "must hold printable ASCII characters only");
        return text;
    }

    /// A path text (any characters but NUL), empty when absent.
    std::string Path(const std::string& key) const {
        if (!Has(key)) return std::string();
        if (!entry_.at(key).is_string() || entry_.at(key).get<std::string>().empty())
            Fail(key, "must be a non-empty path");
        return entry_.at(key).get<std::string>();
    }

    /// One MiB offset or a list of them.
    std::vector<std::int64_t> MibList(const std::string& key) const {
        std::vector<std::int64_t> list;
        if (!Has(key)) return list;
        const json& value = entry_.at(key);
        const json items = value.is_array() ? value : json::array({value});
        for (const json& item : items) {
            if (!item.is_number_integer() || item.get<std::int64_t>() < 0)
                Fail(key, "must be a MiB offset (integer from 0) or a list of them");
            list.push_back(item.get<std::int64_t>());
        }
        return list;
    }

    void RejectUnknownKeys(const std::set<std::string>& known) const {
        for (auto it = entry_.begin(); it != entry_.end(); ++it)
            if (known.count(it.key()) == 0)
                throw BenchError(where_ + ": unknown key \"" + it.key() + "\"");
    }

private:
    const json& entry_;
    std::string where_;
};

DriveKind ParseKind(const EntryReader& reader, const json& entry) {
    if (!entry.contains("kind") || !entry.at("kind").is_string())
        reader.Fail("kind", "must be \"kvt\", \"rzb\", \"nvme\" or \"plain\"");
    const std::string kind = entry.at("kind").get<std::string>();
    if (kind == "kvt") return DriveKind::Kvt;
    if (kind == "rzb") return DriveKind::Rzb;
    if (kind == "nvme") return DriveKind::Nvme;
    if (kind != "plain") reader.Fail("kind", "must be \"kvt\", \"rzb\", \"nvme\" or \"plain\"");
    return DriveKind::Plain;
}

DriveFaults ParseFaults(const json& faults, const std::string& where) {
    if (!faults.is_object()) throw BenchError(where + ": \"faults\" must be an object");
    const EntryReader reader(faults, where + ": faults");
    reader.RejectUnknownKeys({"io_error_at_mib", "stall_at_mib", "complete_at_once",
                              "smart_needs_enable", "smart_fails", "identify_fails", "missing",
                              "open_fails", "geometry_fails", "layout_fails",
                              "smart_fails_after_mib", "bit_errors_at_mib", "bit_errors_per_mib"});
    DriveFaults result;
    result.ioErrorAtMib = reader.MibList("io_error_at_mib");
    result.stallAtMib = reader.MibList("stall_at_mib");
    result.bitErrorsAtMib = reader.MibList("bit_errors_at_mib");
    result.bitErrorsPerMib = static_cast<std::uint32_t>(
        reader.Integer("bit_errors_per_mib", 1, 2048, result.bitErrorsPerMib));
    result.completeAtOnce = reader.Flag("complete_at_once");
    result.smartNeedsEnable = reader.Flag("smart_needs_enable");
    result.smartFails = reader.Flag("smart_fails");
    result.identifyFails = reader.Flag("identify_fails");
    result.missing = reader.Flag("missing");
    result.openFails = reader.Flag("open_fails");
    result.geometryFails = reader.Flag("geometry_fails");
    result.layoutFails = reader.Flag("layout_fails");
    result.smartFailsAfterMib = reader.Integer("smart_fails_after_mib", 0, INT64_MAX / 1048576, -1);
    return result;
}

FlashParams ParseFlash(const json& flash, const std::string& where) {
    if (!flash.is_object()) throw BenchError(where + ": \"flash\" must be an object");
    const EntryReader reader(flash, where + ": flash");
    reader.RejectUnknownKeys({"floor", "alpha", "beta", "gamma", "model_cycles", "celsius",
                              "activation_ev", "block_sigma", "sector_shape", "read_step"});
    FlashParams result;
    result.floor = reader.Real("floor", 0.0, 0.01, result.floor);
    result.alpha = reader.Real("alpha", 0.0, 1.0, result.alpha);
    result.beta = reader.Real("beta", 0.0, 1.0, result.beta);
    result.gamma = reader.Real("gamma", 0.0, 1.0, result.gamma);
    result.modelCycles = reader.Real("model_cycles", 1.0, 1e7, result.modelCycles);
    result.celsius = reader.Real("celsius", -40.0, 150.0, result.celsius);
    result.activationEv = reader.Real("activation_ev", 0.0, 5.0, result.activationEv);
    result.blockSigma = reader.Real("block_sigma", 0.0, 3.0, result.blockSigma);
    result.sectorShape = reader.Real("sector_shape", 0.0, 1e6, result.sectorShape);
    if (result.sectorShape > 0.0 && result.sectorShape < 0.05)
        reader.Fail("sector_shape", "must be 0 (no spread) or from 0.05");
    result.readStep =
        static_cast<std::uint32_t>(reader.Integer("read_step", 1, 1000000000, result.readStep));
    return result;
}

WearParams ParseWear(const EntryReader& reader, const json& entry, const std::string& where) {
    WearParams wear;
    wear.initialAec =
        static_cast<std::uint32_t>(reader.Integer("initial_aec", 0, 1000000, wear.initialAec));
    wear.writeAmplification =
        reader.Real("write_amplification", 0.01, 1000.0, wear.writeAmplification);
    wear.ratedCycles =
        static_cast<std::uint32_t>(reader.Integer("rated_cycles", 1, 1000000, wear.ratedCycles));
    wear.rberStart = reader.Real("rber_start", 0.0, 0.01, wear.rberStart);
    wear.rberRated = reader.Real("rber_rated", 0.0, 0.01, wear.rberRated);
    wear.logLinear = reader.Has("rber_start") || reader.Has("rber_rated");
    // The log-linear curve stops at 2e-3 unless told otherwise; the flash model at 0.01.
    wear.rberMax = reader.Real("rber_max", 0.0, 0.01, wear.logLinear ? wear.rberMax : 0.01);
    if (entry.contains("flash")) wear.flash = ParseFlash(entry.at("flash"), where);
    wear.eccBits = static_cast<std::uint32_t>(reader.Integer("ecc_bits", 0, 4096, wear.eccBits));
    wear.seed = static_cast<std::uint64_t>(
        reader.Integer("seed", 0, INT64_MAX, static_cast<std::int64_t>(wear.seed)));
    if (wear.rberStart > wear.rberRated)
        reader.Fail("rber_start", "must not exceed \"rber_rated\"");
    if (wear.logLinear && wear.rberMax < wear.rberRated)
        reader.Fail("rber_max", "must not be below \"rber_rated\"");
    return wear;
}

/// True when both paths name the same file: the same inode when both exist,
/// else the same path once symbolic links and dot entries are resolved.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat infoA {};
    struct stat infoB {};
    if (::stat(a.c_str(), &infoA) == 0 && ::stat(b.c_str(), &infoB) == 0)
        return infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino;
    const auto resolved = [](const std::string& path) {
        std::error_code error;
        const std::filesystem::path full = std::filesystem::weakly_canonical(path, error);
        return error ? std::filesystem::path(path).lexically_normal() : full;
    };
    return resolved(a) == resolved(b);
}

/// True when `path` is a regular file small enough to be a state file and
/// holds a state's JSON object.
bool LooksLikeState(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxStateBytes)
        return false;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    const json state = json::parse(content.str(), nullptr, false);
    return state.is_object() && state.contains("power_cycles") &&
           state.contains("host_bytes_written");
}

/// Refuses a file the drive would grow or overwrite although it is not the
/// drive's own: the bench file, an image named in the bench with another size
/// than the drive's (a default image is the lab's own and follows the size),
/// or a state file that holds no state.
void CheckExistingFiles(const EntryReader& reader, const BenchDrive& drive,
                        const std::string& benchPath) {
    if (!drive.imagePath.empty() && SameFile(drive.imagePath, benchPath))
        reader.Fail("image", drive.imagePath + " is the bench file");
    if (SameFile(drive.statePath, benchPath))
        reader.Fail("state", drive.statePath + " is the bench file");
    struct stat info {};
    if (reader.Has("image") && ::stat(drive.imagePath.c_str(), &info) == 0 &&
        (!S_ISREG(info.st_mode) || info.st_size != drive.sizeBytes))
        reader.Fail("image", drive.imagePath + " exists but is not an image of this drive's " +
                                 std::to_string(drive.sizeBytes) +
                                 " bytes (move it away to start afresh)");
    if (::stat(drive.statePath.c_str(), &info) == 0 && !LooksLikeState(drive.statePath))
        reader.Fail("state", drive.statePath +
                                 " exists but is not a drive state (move it away to start afresh)");
}

BenchDrive ParseDrive(const json& entry, std::size_t position, const std::string& folder) {
    const std::string where = "drives[" + std::to_string(position) + "]";
    if (!entry.is_object()) throw BenchError(where + ": must be an object");
    const EntryReader reader(entry, where);
    reader.RejectUnknownKeys({"number",
                              "kind",
                              "size_mib",
                              "model",
                              "serial",
                              "firmware",
                              "image",
                              "device",
                              "state",
                              "partitions",
                              "partition_entries",
                              "scsi_port",
                              "scsi_target",
                              "faults",
                              "initial_aec",
                              "write_amplification",
                              "rated_cycles",
                              "rber_start",
                              "rber_rated",
                              "rber_max",
                              "ecc_bits",
                              "seed",
                              "flash",
                              "queue_depth",
                              "datacenter_log"});
    BenchDrive drive;
    drive.number = static_cast<std::uint32_t>(reader.Integer("number", 0, 255, 0, true));
    drive.kind = ParseKind(reader, entry);
    drive.devicePath = reader.Path("device");
    const std::int64_t sizeMib =
        reader.Integer("size_mib", 1, 64 * 1024 * 1024, 0, drive.devicePath.empty());
    drive.sizeBytes = sizeMib * kMiB;
    drive.model = reader.Text("model", 40, true);
    drive.serial = reader.Text("serial", 20, true);
    drive.firmware = reader.Text("firmware", 8, true);
    if (!drive.devicePath.empty() && reader.Has("image"))
        reader.Fail("image", "cannot be given together with \"device\"");
    if (drive.devicePath.empty()) {
        const std::string image = reader.Path("image");
        drive.imagePath = JoinFolder(
            folder, image.empty() ? "lab_drive" + std::to_string(drive.number) + ".img" : image);
    }
    const std::string state = reader.Path("state");
    if (!state.empty())
        drive.statePath = JoinFolder(folder, state);
    else if (!drive.imagePath.empty())
        drive.statePath = StatePathForImage(drive.imagePath);
    else
        drive.statePath = JoinFolder(folder, "lab_drive" + std::to_string(drive.number) + ".state");
    drive.partitions = static_cast<std::uint32_t>(reader.Integer("partitions", 0, 128, 0));
    drive.partitionEntries =
        static_cast<std::uint32_t>(reader.Integer("partition_entries", 0, 128, drive.partitions));
    if (drive.partitionEntries < drive.partitions)
        reader.Fail("partition_entries", "must not be below \"partitions\"");
    drive.scsiPort = static_cast<std::int32_t>(reader.Integer("scsi_port", 0, 255, 0));
    drive.scsiTargetId =
        static_cast<std::int32_t>(reader.Integer("scsi_target", 0, 255, drive.number));
    drive.queueDepth = static_cast<std::uint32_t>(reader.Integer("queue_depth", 1, 64, 0));
    if (entry.contains("faults")) drive.faults = ParseFaults(entry.at("faults"), where);
    drive.wear = ParseWear(reader, entry, where);
    if (entry.contains("datacenter_log")) {
        if (drive.kind != DriveKind::Nvme) reader.Fail("datacenter_log", "is for nvme drives");
        if (!entry.at("datacenter_log").is_boolean())
            reader.Fail("datacenter_log", "must be true or false");
        drive.datacenterLog = entry.at("datacenter_log").get<bool>();
    }
    CheckExistingFiles(reader, drive, JoinFolder(folder, kBenchFileName));
    return drive;
}

/// Parses JSON text, refusing nesting beyond kMaxNesting (before it is deep
/// enough to exhaust the stack of any later copy) and a key given twice in
/// one object.
json ParseGuarded(const std::string& text) {
    std::vector<std::set<std::string>> open;  // keys seen, one entry per open object or list
    const json::parser_callback_t guard = [&open](int, json::parse_event_t event, json& parsed) {
        switch (event) {
            case json::parse_event_t::object_start:
            case json::parse_event_t::array_start:
                if (open.size() >= kMaxNesting)
                    throw BenchError("nested deeper than " + std::to_string(kMaxNesting) +
                                     " levels");
                open.emplace_back();
                break;
            case json::parse_event_t::object_end:
            case json::parse_event_t::array_end:
                if (!open.empty()) open.pop_back();
                break;
            case json::parse_event_t::key:
                if (!open.empty() && !open.back().insert(parsed.get<std::string>()).second)
                    throw BenchError("key \"" + parsed.get<std::string>() +
                                     "\" is given twice in one object");
                break;
            case json::parse_event_t::value:
                break;
        }
        return true;
    };
    try {
        return json::parse(text, guard);
    } catch (const json::parse_error& error) {
        throw BenchError(std::string("not valid JSON: ") + error.what());
    }
}

/// Refuses image, device and state paths that name a file another entry uses.
void CheckDriveFiles(const Bench& bench) {
    struct DriveFile {
        std::size_t position;
        std::string key;
        std::string path;
    };
    std::vector<DriveFile> files;
    for (std::size_t i = 0; i < bench.drives.size(); ++i) {
        const BenchDrive& drive = bench.drives[i];
        if (!drive.imagePath.empty()) files.push_back({i, "image", drive.imagePath});
        if (!drive.devicePath.empty()) files.push_back({i, "device", drive.devicePath});
        files.push_back({i, "state", drive.statePath});
    }
    const auto fail = [](const DriveFile& file, const std::string& what) {
        throw BenchError("drives[" + std::to_string(file.position) + "]: \"" + file.key + "\" " +
                         file.path + " " + what);
    };
    for (std::size_t a = 0; a < files.size(); ++a) {
        for (std::size_t b = a + 1; b < files.size(); ++b)
            if (SameFile(files[a].path, files[b].path))
                fail(files[b], "is also the \"" + files[a].key + "\" of drives[" +
                                   std::to_string(files[a].position) + "]");
    }
}

void ParseBenchOrThrow(const std::string& text, const std::string& folder, Bench* bench) {
    const json root = ParseGuarded(text);
    if (!root.is_object() || !root.contains("drives") || !root.at("drives").is_array())
        throw BenchError("expected an object with a \"drives\" list");
    const EntryReader top(root, "bench");
    top.RejectUnknownKeys({"drives"});
    Bench result;
    result.folder = folder;
    std::set<std::uint32_t> numbers;
    const json& drives = root.at("drives");
    for (std::size_t i = 0; i < drives.size(); ++i) {
        BenchDrive drive = ParseDrive(drives[i], i, folder);
        if (!numbers.insert(drive.number).second)
            throw BenchError("drives[" + std::to_string(i) + "]: drive number " +
                             std::to_string(drive.number) + " is listed twice");
        result.drives.push_back(std::move(drive));
    }
    CheckDriveFiles(result);
    *bench = std::move(result);
}

}  // namespace

std::string BenchFolder() {
    const char* overrideFolder = std::getenv("SSDLAB_DIR");
    if (overrideFolder != nullptr && overrideFolder[0] != '\0') return overrideFolder;
    return NativePath(DataFolder());
}

std::string DefaultBenchText() {
    return R"({
  "drives": [
    {
      "number": 0,
      "kind": "plain",
      "size_mib": 64,
      "model": "Holloway SYS-64 System Disk",
      "serial": "HSD0100000000117",
      "firmware": "H1.04",
      "partitions": 1
    },
    {
      "number": 1,
      "kind": "kvt",
      "size_mib": 256,
      "model": "Brindlecove KV Lab 256",
      "serial": "BKV2560000001",
      "firmware": "KV2.10",
      "initial_aec": 0,
      "write_amplification": 1.02,
      "rated_cycles": 30,
      "ecc_bits": 24
    },
    {
      "number": 2,
      "kind": "rzb",
      "size_mib": 64,
      "model": "Corvane RZ412 Lab 64",
      "serial": "CRZ4120000042",
      "firmware": "RZ3.01"
    },
    {
      "number": 3,
      "kind": "kvt",
      "size_mib": 64,
      "model": "Brindlecove KV Lab 64 Lite",
      "serial": "BKV0640000003",
      "firmware": "KV2.10",
      "write_amplification": 1.02,
      "rated_cycles": 30,
      "ecc_bits": 18
    },
    {
      "number": 4,
      "kind": "nvme",
      "size_mib": 128,
      "model": "Ashgrove NV Lab 128",
      "serial": "ANV1280000003",
      "firmware": "NV1.00",
      "write_amplification": 1.02,
      "rated_cycles": 30,
      "rber_start": 1e-08,
      "rber_rated": 0.0001,
      "ecc_bits": 8
    }
  ]
}
)";
}

bool ParseBench(const std::string& text, const std::string& folder, Bench* bench,
                std::string* error) {
    try {
        ParseBenchOrThrow(text, folder, bench);
        return true;
    } catch (const std::exception& failure) {
        // The reason echoes keys and values of the file: one line of
        // printable text whatever they hold.
        if (error != nullptr) {
            *error = failure.what();
            for (char& c : *error)
                if (c < 0x20 || c > 0x7E) c = '?';
        }
        return false;
    }
}

bool LoadBench(Bench* bench, std::string* error) {
    const std::string folder = BenchFolder();
    const std::string path = JoinFolder(folder, kBenchFileName);
    std::ifstream in(path, std::ios::binary);
    std::string text;
    if (in) {
        std::ostringstream content;
        content << in.rdbuf();
        text = content.str();
    } else {
        text = DefaultBenchText();
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            if (error != nullptr) *error = path + ": missing, and the default could not be written";
            return false;
        }
    }
    std::string reason;
    if (ParseBench(text, folder, bench, &reason)) return true;
    if (error != nullptr) *error = path + ": " + reason;
    return false;
}

namespace {
std::mutex& ErrorMutex() {
    static std::mutex mutex;
    return mutex;
}
std::string& LastError() {
    static std::string text;
    return text;
}
}  // namespace

void NoteLabError(const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(ErrorMutex());
        LastError() = text;
    }
    TraceOutput("ssdlab: " + text + "\n");
}

std::string LastLabError() {
    std::lock_guard<std::mutex> lock(ErrorMutex());
    return LastError();
}

const BenchDrive* FindDrive(const Bench& bench, platform::DriveNumber number) {
    for (const BenchDrive& drive : bench.drives)
        if (drive.number == number) return &drive;
    return nullptr;
}

}  // namespace platform::lab
