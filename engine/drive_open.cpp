#include "engine/drive_open.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "engine/drive_refusal.h"
#include "engine/test_context.h"
#include "platform/disk_guard.h"
#include "platform/raw_drive.h"
#include "text/operator_output.h"

void GuardDrive(std::uint32_t driveNumber) {
    const platform::DiskGuardResult guard = platform::CheckDiskBeforeWrite(driveNumber);
    if (!guard.refused) return;
    throw DriveRefusal(guard.partitionTable ? "Drive contains partitions" : "CreateFile failed",
                       guard.reason);
}

void OpenDrive(CSSDTest& test) {
    const std::wstring path = platform::DrivePath(test.driveNumber);
    std::uint32_t errorCode = 0;
    test.driveHandle = platform::OpenRawDrive(test.driveNumber, &errorCode);
    if (test.driveHandle == nullptr) throw std::runtime_error("CreateFile failed");
    OutWide(path + L" Open OK\n");

    std::int64_t sizeBytes = 0;
    if (!platform::GetDriveSizeBytes(test.driveHandle, &sizeBytes))
        throw std::runtime_error("IOCTL_DISK_GET_DRIVE_GEOMETRY_EX failed");
    test.driveSize = sizeBytes;
    Out() << "Size = " << static_cast<double>(test.driveSize) / 1000 / 1000 / 1000 << "[GB]"
          << std::endl;

    std::vector<std::uint8_t> partitionTypes;
    if (!platform::GetDriveLayout(test.driveHandle, &partitionTypes)) {
        CloseDrive(test);
        throw std::runtime_error("DRIVE_LAYOUT_INFORMATION failed");
    }
    std::uint32_t used = 0;
    for (std::uint8_t type : partitionTypes)
        if (type != 0) ++used;
    Out() << "Partition Num = " << used << std::endl;
    if (used > 0) throw DriveRefusal("Drive contains partitions");

    test.completionPort = platform::CreateCompletionPort();
    if (test.completionPort == nullptr) {
        CloseDrive(test);  // also clears the handle, so destruction never closes it twice
        throw std::runtime_error("CreateIoCompletionPort1 failed.");
    }
    if (!platform::AttachToPort(test.driveHandle, test.completionPort)) {
        CloseDrive(test);
        throw std::runtime_error("CreateIoCompletionPort2 failed.");
    }
}

void CloseDrive(CSSDTest& test) {
    if (test.driveHandle != nullptr) {
        platform::CloseRawDrive(test.driveHandle);
        test.driveHandle = nullptr;
    }
    if (test.completionPort != nullptr) {
        platform::CloseCompletionPort(test.completionPort);
        test.completionPort = nullptr;
    }
}
