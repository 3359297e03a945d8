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

void GuardDrive(const RunSettings& settings, const DriveSession& session) {
    RefuseGuardedDrive(session.driveSource->CheckBeforeWrite(settings.driveNumber));
}

void OpenDrive(const RunSettings& settings, DriveSession& session) {
    // The path the drive check resolved; a context opened without it asks the source.
    const std::wstring path = settings.identity.path.empty()
                                  ? session.driveSource->Path(settings.driveNumber)
                                  : settings.identity.path;
    // The number must still name the drive the check identified: disks can be
    // renumbered (a hot-plug) between the check and the open.
    if (!settings.identity.path.empty() && session.driveSource->Path(settings.driveNumber) != path)
        throw DriveRefusal("Drive Not Found", "drive " + std::to_string(settings.driveNumber) +
                                                  " now names another device than the one checked");
    std::uint32_t errorCode = 0;
    session.drive = session.driveSource->Open(settings.driveNumber, &errorCode);
    if (session.drive == nullptr) throw std::runtime_error("CreateFile failed");
    OutWide(path + L" Open OK\n");

    std::int64_t sizeBytes = 0;
    if (!session.drive->SizeBytes(&sizeBytes))
        throw std::runtime_error("IOCTL_DISK_GET_DRIVE_GEOMETRY_EX failed");
    session.driveSize = sizeBytes;
    Out() << "Size = " << static_cast<double>(session.driveSize) / 1000 / 1000 / 1000 << "[GB]"
          << std::endl;

    std::vector<std::uint8_t> partitionTypes;
    if (!session.drive->Layout(&partitionTypes)) {
        CloseDrive(session);
        throw std::runtime_error("DRIVE_LAYOUT_INFORMATION failed");
    }
    std::uint32_t used = 0;
    for (std::uint8_t type : partitionTypes)
        if (type != 0) ++used;
    Out() << "Partition Num = " << used << std::endl;
    if (used > 0) throw DriveRefusal("Drive contains partitions");

    switch (session.drive->AttachPort()) {
        case platform::PortSetup::Ready:
            return;
        case platform::PortSetup::CreateFailed:
            CloseDrive(session);
            throw std::runtime_error("CreateIoCompletionPort1 failed.");
        case platform::PortSetup::AttachFailed:
            CloseDrive(session);
            throw std::runtime_error("CreateIoCompletionPort2 failed.");
    }
}

void CloseDrive(DriveSession& session) { session.drive.reset(); }
