// Device control service of the lab: the SMART pass-through requests in their
// Windows form, answered by the drive's emulated controller.
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/device_control.h"
#include "platform/lab/lab_drive.h"
#include "platform/lab/lab_pages.h"

namespace platform {

struct ControlHandle {
    std::shared_ptr<lab::LabDrive> drive;
};

namespace {

constexpr std::uint32_t kSmartSendDriveCommand = 0x7C084;
constexpr std::uint32_t kSmartRcvDriveData = 0x7C088;

// The command input block (33 bytes, packed): offsets of the fields used here.
constexpr std::uint32_t kInFeatures = 4;
constexpr std::uint32_t kInCylLow = 7;
constexpr std::uint32_t kInCylHigh = 8;
constexpr std::uint32_t kInCommand = 10;
constexpr std::uint32_t kInMinimumBytes = 32;  // the block without its data byte

// The command output block: a 16-byte header, then the data.
constexpr std::uint32_t kOutHeaderBytes = 16;
constexpr std::uint32_t kOutDriverError = 4;
constexpr std::uint32_t kOutIdeError = 5;

constexpr std::uint8_t kAtaSmart = 0xB0;
constexpr std::uint8_t kAtaIdentify = 0xEC;
constexpr std::uint8_t kSmartReadData = 0xD0;
constexpr std::uint8_t kSmartEnable = 0xD8;
constexpr std::uint8_t kSmartDisable = 0xD9;
constexpr std::uint8_t kSmartCylLow = 0x4F;
constexpr std::uint8_t kSmartCylHigh = 0xC2;

constexpr std::uint8_t kDriverErrorIde = 1;  // the drive rejected the command
constexpr std::uint8_t kIdeAbort = 0x04;

void PutLittle32(unsigned char* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

bool Refuse(int code, std::uint32_t* bytesReturned) {
    *bytesReturned = 0;
    errno = code;
    return false;
}

/// The header alone, carrying the drive's rejection: the call succeeds but
/// returns no data, as a driver passing on an aborted command does.
bool ReturnAborted(unsigned char* out, std::uint32_t* bytesReturned) {
    out[kOutDriverError] = kDriverErrorIde;
    out[kOutIdeError] = kIdeAbort;
    *bytesReturned = kOutHeaderBytes;
    return true;
}

bool ReturnPage(unsigned char* out, std::uint32_t* bytesReturned) {
    PutLittle32(out, lab::kPageBytes);
    *bytesReturned = kOutHeaderBytes + lab::kPageBytes;
    return true;
}

}  // namespace

ControlHandle* OpenControlHandle(std::int32_t driveNumber) {
    if (driveNumber < 0) {
        errno = ENOENT;
        return nullptr;
    }
    std::uint32_t error = 0;
    std::shared_ptr<lab::LabDrive> drive =
        lab::LabDrive::Acquire(static_cast<std::uint32_t>(driveNumber), &error);
    if (!drive) {
        errno = static_cast<int>(error);
        return nullptr;
    }
    return new ControlHandle{std::move(drive)};
}

void CloseControlHandle(ControlHandle* handle) { delete handle; }

bool DeviceControl(ControlHandle* handle, std::uint32_t controlCode, const void* input,
                   std::uint32_t inputSize, void* output, std::uint32_t outputSize,
                   std::uint32_t* bytesReturned) {
    std::uint32_t ignored = 0;
    if (bytesReturned == nullptr) bytesReturned = &ignored;
    if (handle == nullptr) return Refuse(EBADF, bytesReturned);
    if (controlCode != kSmartSendDriveCommand && controlCode != kSmartRcvDriveData)
        return Refuse(ENOTTY, bytesReturned);
    if (input == nullptr || inputSize < kInMinimumBytes || output == nullptr ||
        outputSize < kOutHeaderBytes)
        return Refuse(EINVAL, bytesReturned);

    const auto* in = static_cast<const unsigned char*>(input);
    auto* out = static_cast<unsigned char*>(output);
    std::memset(out, 0, kOutHeaderBytes);
    const std::uint8_t command = in[kInCommand];
    const std::uint8_t features = in[kInFeatures];
    const bool smartSignature = in[kInCylLow] == kSmartCylLow && in[kInCylHigh] == kSmartCylHigh;
    lab::LabDrive& drive = *handle->drive;

    if (controlCode == kSmartSendDriveCommand) {
        if (command != kAtaSmart || !smartSignature) return Refuse(EINVAL, bytesReturned);
        if (features == kSmartEnable) {
            if (!drive.EnableSmart()) return Refuse(EIO, bytesReturned);
            *bytesReturned = kOutHeaderBytes;
            return true;
        }
        if (features == kSmartDisable) {
            *bytesReturned = kOutHeaderBytes;
            return true;
        }
        return Refuse(EINVAL, bytesReturned);
    }

    // SMART_RCV_DRIVE_DATA: a data-in command with a 512-byte page.
    if (outputSize < kOutHeaderBytes + lab::kPageBytes) return Refuse(EINVAL, bytesReturned);
    unsigned char* page = out + kOutHeaderBytes;
    std::memset(page, 0, lab::kPageBytes);
    if (command == kAtaIdentify) {
        if (!drive.ReadIdentifyPage(page)) return ReturnAborted(out, bytesReturned);
        return ReturnPage(out, bytesReturned);
    }
    if (command == kAtaSmart && smartSignature && features == kSmartReadData) {
        if (!drive.ReadSmartPage(page)) return ReturnAborted(out, bytesReturned);
        return ReturnPage(out, bytesReturned);
    }
    return Refuse(EINVAL, bytesReturned);
}

}  // namespace platform
