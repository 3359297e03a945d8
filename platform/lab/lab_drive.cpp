#include "platform/lab/lab_drive.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>
#include <random>

#include "platform/lab/lab_nvme_pages.h"
#include "platform/lab/lab_pages.h"
#include "platform/lab/lab_test_lock.h"
#include "platform/process.h"

namespace platform::lab {

/// Power of one drive within this process: it counts one power cycle when the
/// process first touches the drive, and its power-on time runs from then on.
struct PowerSession {
    std::chrono::steady_clock::time_point accountedUntil;
    bool smartEnabled = false;
};

namespace {

std::mutex& TableMutex() {
    static std::mutex mutex;
    return mutex;
}

/// Live drives by state path (a weak reference: the users own the drive).
std::map<std::string, std::weak_ptr<LabDrive>>& LiveDrives() {
    static std::map<std::string, std::weak_ptr<LabDrive>> drives;
    return drives;
}

/// Sessions by state path; they live as long as the process.
std::map<std::string, PowerSession>& Sessions() {
    static std::map<std::string, PowerSession> sessions;
    return sessions;
}

/// Makes sure the image exists at least `sizeBytes` long, sparse. Sets
/// *created when it had to be made. Returns 0 or an errno value.
int PrepareImage(const std::string& path, std::int64_t sizeBytes, bool* created) {
    struct stat info {};
    *created = ::stat(path.c_str(), &info) != 0;
    if (!*created && info.st_size >= sizeBytes) return 0;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return errno;
    const int rc = ::ftruncate(fd, sizeBytes);
    const int error = rc == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

/// Size of the block device at `path` in *sizeBytes. Returns 0 or an errno value.
int DeviceSize(const std::string& path, std::int64_t* sizeBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    std::uint64_t bytes = 0;
    const int rc = ::ioctl(fd, BLKGETSIZE64, &bytes);
    const int error = rc == 0 ? 0 : errno;
    ::close(fd);
    *sizeBytes = static_cast<std::int64_t>(bytes);
    return error;
}

std::uint64_t FreshSeed(platform::DriveNumber number) {
    std::random_device device;
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    return (static_cast<std::uint64_t>(device()) << 32) ^ static_cast<std::uint64_t>(now) ^
           (0x9E3779B97F4A7C15ULL * (number + 1));
}

}  // namespace

std::shared_ptr<LabDrive> LabDrive::Acquire(platform::DriveNumber number,
                                            std::uint32_t* errorCode) {
    auto fail = [errorCode](int code) {
        if (errorCode != nullptr) *errorCode = static_cast<std::uint32_t>(code);
        return std::shared_ptr<LabDrive>();
    };
    Bench bench;
    std::string error;
    if (!LoadBench(&bench, &error)) {
        NoteLabError(error);
        return fail(EINVAL);
    }
    const BenchDrive* config = FindDrive(bench, number);
    if (config == nullptr || config->faults.missing) return fail(ENOENT);

    std::lock_guard<std::mutex> lock(TableMutex());
    std::weak_ptr<LabDrive>& slot = LiveDrives()[config->statePath];
    if (std::shared_ptr<LabDrive> live = slot.lock()) return live;

    std::int64_t sizeBytes = config->sizeBytes;
    bool freshStore = false;
    if (config->devicePath.empty()) {
        if (const int rc = PrepareImage(config->imagePath, sizeBytes, &freshStore)) {
            NoteLabError(config->imagePath + ": cannot create the image");
            return fail(rc);
        }
    } else {
        std::int64_t deviceBytes = 0;
        if (const int rc = DeviceSize(config->devicePath, &deviceBytes)) return fail(rc);
        if (sizeBytes == 0 || deviceBytes < sizeBytes) sizeBytes = deviceBytes;
    }

    ControllerState state;
    if (freshStore) {
        std::remove(config->statePath.c_str());  // a new image is a new drive
    } else if (LoadControllerState(config->statePath, &state, &error) < 0) {
        NoteLabError(error);
        return fail(EINVAL);
    }

    // The first use in this process, or a drive just made, powers the drive up.
    auto found = Sessions().find(config->statePath);
    const bool poweringUp = found == Sessions().end() || freshStore;
    if (found == Sessions().end())
        found = Sessions().emplace(config->statePath, PowerSession{}).first;
    PowerSession* session = &found->second;
    if (poweringUp) {
        *session = PowerSession{};
        session->accountedUntil = std::chrono::steady_clock::now();
        ++state.powerCycles;
    }

    // The errors stay where they are from run to run: a drive without a seed
    // on the bench draws one when it is made and keeps it in its state.
    if (state.seed == 0) state.seed = FreshSeed(number) | 1;
    const std::uint64_t seed = config->wear.seed != 0 ? config->wear.seed : state.seed;
    std::shared_ptr<LabDrive> drive(new LabDrive(*config, sizeBytes, session, seed));
    drive->controller_.State() = state;
    if (poweringUp) drive->Save();
    slot = drive;
    return drive;
}

LabDrive::LabDrive(const BenchDrive& config, std::int64_t sizeBytes, PowerSession* session,
                   std::uint64_t seed)
    : config_(config),
      sizeBytes_(sizeBytes),
      session_(session),
      controller_(config, sizeBytes, seed) {}

LabDrive::~LabDrive() { Save(); }

void LabDrive::AccountPowerOnTime() {
    const auto now = std::chrono::steady_clock::now();
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(now - session_->accountedUntil);
    controller_.State().powerOnSeconds += static_cast<std::uint64_t>(seconds.count());
    controller_.AdvanceClock(static_cast<double>(seconds.count()));
    session_->accountedUntil += seconds;
}

void LabDrive::CompleteWrite(std::int64_t offsetBytes, std::uint32_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    AccountPowerOnTime();
    controller_.OnWrite(offsetBytes, length);
}

void LabDrive::CompleteRead(std::int64_t offsetBytes, void* data, std::uint32_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    AccountPowerOnTime();
    controller_.OnRead(offsetBytes, static_cast<unsigned char*>(data), length);
}

bool LabDrive::EnableSmart() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (config_.faults.smartFails) return false;
    session_->smartEnabled = true;
    return true;
}

bool LabDrive::ReadSmartPage(unsigned char* page) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (config_.faults.smartFails) return false;
    if (config_.faults.smartNeedsEnable && !session_->smartEnabled) return false;
    if (!controller_.SmartAnswers()) return false;
    AccountPowerOnTime();
    BuildSmartPage(controller_, controller_.State().powerOnSeconds / 3600, page);
    SaveUnlessUnderTestElsewhere();
    return true;
}

bool LabDrive::ReadIdentifyPage(unsigned char* page) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (config_.faults.identifyFails) return false;
    const bool enabled =
        !config_.faults.smartFails && (!config_.faults.smartNeedsEnable || session_->smartEnabled);
    BuildIdentifyPage(config_, sizeBytes_, enabled, page);
    return true;
}

bool LabDrive::ReadNvmeIdentify(std::uint8_t cns, std::uint8_t* page) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (config_.kind != DriveKind::Nvme || config_.faults.identifyFails) return false;
    return BuildNvmeIdentify(config_, sizeBytes_, cns, page);
}

bool LabDrive::ReadNvmeLog(std::uint8_t logId, std::uint16_t specific, std::uint8_t* log) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (config_.kind != DriveKind::Nvme || config_.faults.smartFails || !controller_.SmartAnswers())
        return false;
    AccountPowerOnTime();
    if (!BuildNvmeLog(controller_, controller_.State().powerOnSeconds / 3600, logId, specific, log))
        return false;
    SaveControllerState(config_.statePath, controller_.State());
    return true;
}

void LabDrive::Save() {
    std::lock_guard<std::mutex> lock(mutex_);
    AccountPowerOnTime();
    SaveUnlessUnderTestElsewhere();
}

void LabDrive::SaveUnlessUnderTestElsewhere() {
    // The process testing the drive owns its state; another one (a drive
    // list, a refused second test) would write back a stale copy.
    if (TestLockHolder(config_).empty())
        SaveControllerState(config_.statePath, controller_.State());
}

}  // namespace platform::lab
