// The lab executable's drives: each bench drive is a file drive over its image
// or block device, seen through its controller and the bench's faults.
#include <cerrno>

#include "platform/drive.h"
#include "platform/lab/lab_drive_decorators.h"
#include "platform/lab/lab_test_lock.h"
#include "platform/posix/host/text.h"

namespace platform {

namespace {

class BenchDrives final : public DriveSource {
public:
    std::wstring Path(platform::DriveNumber driveNumber) override {
        lab::Bench bench;
        if (lab::LoadBench(&bench, nullptr)) {
            if (const lab::BenchDrive* drive = lab::FindDrive(bench, driveNumber))
                return posix::Widen(drive->devicePath.empty() ? drive->imagePath
                                                              : drive->devicePath);
        }
        return posix::Widen(lab::BenchFolder() + "/lab_drive" + std::to_string(driveNumber) +
                            ".img");
    }

    DiskGuardResult CheckBeforeWrite(platform::DriveNumber driveNumber) override {
        return CheckDiskBeforeWrite(driveNumber);
    }

    std::unique_ptr<Drive> Open(platform::DriveNumber driveNumber,
                                std::uint32_t* errorCode) override {
        *errorCode = 0;
        std::shared_ptr<lab::LabDrive> lab = lab::LabDrive::Acquire(driveNumber, errorCode);
        if (!lab) return nullptr;
        const lab::BenchDrive& config = lab->Config();
        if (config.faults.openFails) {
            *errorCode = EACCES;
            return nullptr;
        }
        // One test per drive: the lock is taken before the data is opened.
        std::shared_ptr<void> testLock = lab::LockForTest(config, errorCode);
        if (!testLock) return nullptr;
        std::unique_ptr<posix::FileDrive> file = posix::FileDrive::Open(
            config.devicePath.empty() ? config.imagePath : config.devicePath, errorCode);
        if (!file) return nullptr;
        posix::FileDrive* const ring = file.get();
        const lab::DriveFaults faults = config.faults;
        auto controlled = std::make_unique<lab::ControllerDrive>(std::move(file), std::move(lab));
        auto faulty = std::make_unique<lab::FaultDrive>(std::move(controlled), ring, faults);
        return std::make_unique<lab::LockedDrive>(std::move(faulty), std::move(testLock));
    }
};

}  // namespace

DriveSource& SystemDrives() {
    static BenchDrives drives;
    return drives;
}

}  // namespace platform
