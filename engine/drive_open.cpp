#include "engine/drive_open.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/drive_refusal.h"
#include "engine/guarded_drives.h"
#include "engine/test_context.h"
#include "platform/drive.h"
#include "text/operator_output.h"

void GuardDrive(CSSDTest& test) {
    RefuseGuardedDrive(test.driveSource->CheckBeforeWrite(test.driveNumber));
}

void OpenDrive(CSSDTest& test) {
    // The path the drive check resolved; a context opened without it asks the source.
    const std::wstring path =
        test.identity.path.empty() ? test.driveSource->Path(test.driveNumber) : test.identity.path;
    // The number must still name the drive the check identified: disks can be
    // renumbered (a hot-plug) between the check and the open.
    if (!test.identity.path.empty() && test.driveSource->Path(test.driveNumber) != path)
        throw DriveRefusal("Drive Not Found", "drive " + std::to_string(test.driveNumber) +
                                                  " now names another device than the one checked");
    std::uint32_t errorCode = 0;
    test.drive = test.driveSource->Open(test.driveNumber, &errorCode);
    if (test.drive == nullptr) throw std::runtime_error("CreateFile failed");
    OutWide(path + L" Open OK\n");

    std::int64_t sizeBytes = 0;
    if (!test.drive->SizeBytes(&sizeBytes))
        throw std::runtime_error("IOCTL_DISK_GET_DRIVE_GEOMETRY_EX failed");
    test.driveSize = sizeBytes;
    Out() << "Size = " << static_cast<double>(test.driveSize) / 1000 / 1000 / 1000 << "[GB]"
          << std::endl;

    std::vector<std::uint8_t> partitionTypes;
    if (!test.drive->Layout(&partitionTypes)) {
        CloseDrive(test);
        throw std::runtime_error("DRIVE_LAYOUT_INFORMATION failed");
    }
    std::uint32_t used = 0;
    for (std::uint8_t type : partitionTypes)
        if (type != 0) ++used;
    Out() << "Partition Num = " << used << std::endl;
    if (used > 0) throw DriveRefusal("Drive contains partitions");

    switch (test.drive->AttachPort()) {
        case platform::PortSetup::Ready:
            return;
        case platform::PortSetup::CreateFailed:
            CloseDrive(test);
            throw std::runtime_error("CreateIoCompletionPort1 failed.");
        case platform::PortSetup::AttachFailed:
            CloseDrive(test);
            throw std::runtime_error("CreateIoCompletionPort2 failed.");
    }
}

void CloseDrive(CSSDTest& test) { test.drive.reset(); }
