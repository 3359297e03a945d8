// The drives of this machine on Linux: the whole-disk block devices of the
// disk numbering, each opened exclusively with direct I/O.
#include <cerrno>
#include <string>

#include "platform/drive.h"
#include "platform/posix/drive/disk_numbering.h"
#include "platform/posix/io/file_drive.h"

namespace platform {

namespace {

class BlockDevices final : public DriveSource {
public:
    std::wstring Path(platform::DriveNumber driveNumber) override {
        const std::string name = posix::DiskNameOf(driveNumber);
        // A number without a disk still gets a path; opening it fails.
        if (name.empty()) return L"/dev/ssdtest-drive" + std::to_wstring(driveNumber);
        const std::string path = "/dev/" + name;
        return std::wstring(path.begin(), path.end());
    }

    DiskGuardResult CheckBeforeWrite(platform::DriveNumber driveNumber) override {
        return CheckDiskBeforeWrite(driveNumber);
    }

    std::unique_ptr<Drive> Open(platform::DriveNumber driveNumber,
                                std::uint32_t* errorCode) override {
        const std::string name = posix::DiskNameOf(driveNumber);
        if (name.empty()) {
            *errorCode = ENOENT;
            return nullptr;
        }
        std::unique_ptr<posix::FileDrive> drive = posix::FileDrive::Open("/dev/" + name, errorCode);
        if (drive != nullptr && !drive->IsBlockDevice()) {
            *errorCode = ENOTBLK;
            return nullptr;
        }
        return drive;
    }
};

}  // namespace

DriveSource& SystemDrives() {
    static BlockDevices drives;
    return drives;
}

}  // namespace platform
