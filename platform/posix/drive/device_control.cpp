// Device control service for Linux: the Windows SMART requests answered with
// ATA PASS-THROUGH (16) commands sent through SG_IO on the disk's node, and
// the NVMe storage queries with admin commands on an NVMe namespace's node.
#include "platform/device_control.h"

#include <fcntl.h>
#include <linux/nvme_ioctl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/ata_wire.h"
#include "platform/nvme_wire.h"
#include "platform/posix/drive/disk_numbering.h"
#include "platform/posix/drive/nvme_translate.h"
#include "platform/posix/drive/sat_translate.h"

namespace platform {

struct ControlHandle {
    int fd = -1;
};

namespace {

constexpr unsigned kSgTimeoutMs = 15000;
constexpr unsigned char kSenseBytes = 64;

// An NVMe query as an admin command on the namespace's node (the driver sends
// it to the namespace's controller). A node without the NVMe driver fails.
bool SendNvmeQuery(int fd, const void* input, std::uint32_t inputSize, void* output,
                   std::uint32_t outputSize, std::uint32_t* bytesReturned) {
    const int namespaceId = ::ioctl(fd, NVME_IOCTL_ID);
    nvme::AdminCommand command{};
    if (!posix::BuildNvmeAdminCommand(input, inputSize, outputSize,
                                      namespaceId > 0 ? static_cast<std::uint32_t>(namespaceId) : 0,
                                      &command))
        return false;
    std::vector<std::uint8_t> data(command.dataLength);
    command.addr = reinterpret_cast<std::uintptr_t>(data.data());
    nvme_admin_cmd request{};
    static_assert(sizeof request == sizeof command, "the driver's admin block");
    std::memcpy(&request, &command, sizeof request);
    // A positive result is the drive's NVMe status: the command failed.
    if (::ioctl(fd, NVME_IOCTL_ADMIN_CMD, &request) != 0) return false;
    *bytesReturned = posix::BuildNvmeAnswer(input, data.data(), command.dataLength, output);
    return true;
}

}  // namespace

ControlHandle* OpenControlHandle(platform::DriveNumber driveNumber) {
    if (driveNumber == kNoDrive) return nullptr;
    const std::string name = posix::DiskNameOf(driveNumber);
    if (name.empty()) return nullptr;
    // Not O_EXCL: the test holds the drive exclusively while it reads SMART.
    const int fd = ::open(("/dev/" + name).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    auto* handle = new (std::nothrow) ControlHandle;
    if (handle == nullptr) {
        ::close(fd);
        return nullptr;
    }
    handle->fd = fd;
    return handle;
}

void CloseControlHandle(ControlHandle* handle) {
    if (handle == nullptr) return;
    if (handle->fd >= 0) ::close(handle->fd);
    delete handle;
}

bool DeviceControl(ControlHandle* handle, std::uint32_t controlCode, const void* input,
                   std::uint32_t inputSize, void* output, std::uint32_t outputSize,
                   std::uint32_t* bytesReturned) {
    *bytesReturned = 0;
    if (handle != nullptr && output != nullptr && controlCode == nvme::kQueryStorageProperty)
        return SendNvmeQuery(handle->fd, input, inputSize, output, outputSize, bytesReturned);
    posix::SatCommand command;
    if (handle == nullptr || output == nullptr ||
        !posix::BuildSatCommand(controlCode, input, inputSize, outputSize, &command))
        return false;

    std::array<std::uint8_t, ata::kPageBytes> data{};
    std::array<std::uint8_t, kSenseBytes> sense{};
    sg_io_hdr_t request{};
    request.interface_id = 'S';
    request.cmd_len = static_cast<unsigned char>(command.cdb.size());
    request.cmdp = command.cdb.data();
    request.mx_sb_len = kSenseBytes;
    request.sbp = sense.data();
    request.timeout = kSgTimeoutMs;
    if (command.direction == posix::AtaDirection::DataIn) {
        request.dxfer_direction = SG_DXFER_FROM_DEV;
        request.dxfer_len = command.dataBytes;
        request.dxferp = data.data();
    } else {
        request.dxfer_direction = SG_DXFER_NONE;
    }
    // Loop, NVMe and most virtual disks have no SCSI layer: SG_IO fails here.
    if (::ioctl(handle->fd, SG_IO, &request) != 0) return false;

    posix::SgOutcome outcome;
    outcome.scsiStatus = request.status;
    outcome.hostStatus = request.host_status;
    outcome.driverStatus = request.driver_status;
    outcome.sense = sense.data();
    outcome.senseLength = request.sb_len_wr;
    const int resid = request.resid > 0 ? request.resid : 0;
    outcome.transferredBytes = request.dxfer_len > static_cast<unsigned>(resid)
                                   ? request.dxfer_len - static_cast<unsigned>(resid)
                                   : 0;
    if (!posix::SatCommandSucceeded(command, outcome)) return false;

    *bytesReturned = posix::BuildSmartAnswer(command, data.data(), output, outputSize);
    return *bytesReturned != 0;
}

}  // namespace platform
