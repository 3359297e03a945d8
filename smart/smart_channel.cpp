// The ATA SMART channel over the platform's device control service.
#include "smart/smart_channel.h"

#include <algorithm>
#include <cstring>
#include <ostream>

#include "smart/trace_stream.h"

namespace {

// ATA task-file values of the requests.
constexpr std::uint8_t kAtaSmartCommand = 0xB0;
constexpr std::uint8_t kAtaIdentifyCommand = 0xEC;
constexpr std::uint8_t kSmartReadDataFeature = 0xD0;
constexpr std::uint8_t kSmartEnableFeature = 0xD8;
constexpr std::uint8_t kSmartCylLow = 0x4F;   // SMART signature, LBA mid
constexpr std::uint8_t kSmartCylHigh = 0xC2;  // SMART signature, LBA high
constexpr std::uint8_t kDeviceHeadMaster = 0xA0;
constexpr std::uint8_t kDeviceHeadSlaveBit = 0x10;

// The enable request passes the input block without its data byte and takes
// back the output header only.
constexpr std::uint32_t kEnableInBytes = sizeof(SmartCmdInParams) - 1;
constexpr std::uint32_t kEnableOutBytes = sizeof(SmartCmdOutParams) - 512;
static_assert(kEnableInBytes == 32, "enable input is 32 bytes");
static_assert(kEnableOutBytes == 16, "enable output is the 16-byte header");

// Identify page fields: byte offset and width.
constexpr int kSerialOffset = 20, kSerialBytes = 20;
constexpr int kFirmwareOffset = 46, kFirmwareBytes = 8;
constexpr int kModelOffset = 54, kModelBytes = 40;

// Sends one request on a fresh handle of the drive. False without a request
// when the drive cannot be opened; otherwise the platform's flag.
bool SendOnce(std::int32_t driveNumber, std::uint32_t code, const SmartCmdInParams& in,
              std::uint32_t inSize, SmartCmdOutParams* out, std::uint32_t outSize, bool* opened,
              std::uint32_t* returned) {
    *returned = 0;
    platform::ControlHandle* handle = nullptr;
    *opened = GetIoCtrlHandle(driveNumber, &handle);
    if (!*opened) return false;
    const bool ok = platform::DeviceControl(handle, code, &in, inSize, out, outSize, returned);
    platform::CloseControlHandle(handle);
    return ok;
}

// Copies one cleaned identify field into a text: at most `width` bytes, up to
// a terminator, without leading spaces.
std::string IdentifyText(const std::uint8_t* field, int width) {
    char buffer[256] = {};
    std::memcpy(buffer, field, static_cast<std::size_t>(width));
    buffer[width] = '\0';
    const char* text = buffer;
    while (*text == ' ') ++text;
    return text;
}

}  // namespace

SmartCmdInParams MakeSmartCommand(std::uint8_t feature, std::uint32_t bufferSize) {
    SmartCmdInParams in;
    std::memset(&in, 0, sizeof(in));
    in.cBufferSize = bufferSize;
    in.irDriveRegs.bFeaturesReg = feature;
    in.irDriveRegs.bSectorCountReg = 1;
    in.irDriveRegs.bSectorNumberReg = 1;
    in.irDriveRegs.bCylLowReg = kSmartCylLow;
    in.irDriveRegs.bCylHighReg = kSmartCylHigh;
    in.irDriveRegs.bCommandReg = kAtaSmartCommand;
    return in;
}

SmartCmdInParams MakeIdentifyCommand(std::int32_t driveNumber) {
    SmartCmdInParams in;
    std::memset(&in, 0, sizeof(in));
    in.cBufferSize = 512;
    in.irDriveRegs.bDriveHeadReg =
        kDeviceHeadMaster | ((driveNumber & 1) != 0 ? kDeviceHeadSlaveBit : 0);
    in.irDriveRegs.bCommandReg = kAtaIdentifyCommand;
    in.bDriveNumber = static_cast<std::uint8_t>(driveNumber);
    return in;
}

bool GetIoCtrlHandle(std::int32_t driveNumber, platform::ControlHandle** handle) {
    if (handle == nullptr) return false;
    *handle = platform::OpenControlHandle(driveNumber);
    return *handle != nullptr;
}

bool EnableSmart(std::int32_t driveNumber) {
    const SmartCmdInParams in = MakeSmartCommand(kSmartEnableFeature, 0);
    SmartCmdOutParams out;
    std::memset(&out, 0, sizeof(out));
    bool opened = false;
    std::uint32_t returned = 0;
    const bool ok = SendOnce(driveNumber, kSmartSendDriveCommand, in, kEnableInBytes, &out,
                             kEnableOutBytes, &opened, &returned);
    if (!opened) return false;
    if (!ok) {
        GetTraceStream() << "EnableSmart Failed!" << std::endl;
        return false;
    }
    return true;
}

bool GetSmartCmdOutParam(std::int32_t driveNumber, SmartCmdOutParams* out) {
    std::memset(out, 0, sizeof(*out));
    const SmartCmdInParams in = MakeSmartCommand(kSmartReadDataFeature, 512);
    bool opened = false;
    std::uint32_t returned = 0;
    // Only the returned byte count tells success; the platform's flag is not used.
    SendOnce(driveNumber, kSmartRcvDriveData, in, sizeof(in), out, kSmartOutBytes, &opened,
             &returned);
    if (!opened) {
        GetTraceStream() << "GetIoCtrlHandle Failed!" << std::endl;
        return false;
    }
    if (returned != kSmartOutBytes) {
        GetTraceStream() << "GetSmartCmdOutParam Failed : dwReturned=" << returned << std::endl;
        return false;
    }
    return true;
}

bool GetSmartReadData(std::int32_t driveNumber, SmartDataBlock* block) {
    if (block == nullptr) return false;
    block->Clear();
    SmartCmdOutParams out;
    // One recovery step: a drive with SMART switched off answers after enabling.
    bool read = GetSmartCmdOutParam(driveNumber, &out);
    if (!read && EnableSmart(driveNumber)) read = GetSmartCmdOutParam(driveNumber, &out);
    if (!read) {
        GetTraceStream() << "Retry Failed." << std::endl;
        return false;
    }
    block->Build(out.bBuffer);
    return true;
}

bool GetIdentifyData(std::int32_t driveNumber, std::uint8_t* identifyPage,
                     DriveIdentity* identity) {
    if (identifyPage == nullptr) return false;
    std::memset(identifyPage, 0, 512);
    if (identity != nullptr) *identity = DriveIdentity{};

    const SmartCmdInParams in = MakeIdentifyCommand(driveNumber);
    SmartCmdOutParams out;
    std::memset(&out, 0, sizeof(out));
    bool opened = false;
    std::uint32_t returned = 0;
    SendOnce(driveNumber, kSmartRcvDriveData, in, sizeof(in), &out, kSmartOutBytes, &opened,
             &returned);
    if (!opened || returned != kSmartOutBytes) return false;

    std::memcpy(identifyPage, out.bBuffer, 512);
    if (identity == nullptr) return true;

    char* page = reinterpret_cast<char*>(identifyPage);
    FixAtaString(page + kModelOffset, kModelBytes);
    FixAtaString(page + kFirmwareOffset, kFirmwareBytes);
    FixAtaString(page + kSerialOffset, kSerialBytes);
    identity->model = IdentifyText(identifyPage + kModelOffset, kModelBytes);
    identity->firmware = IdentifyText(identifyPage + kFirmwareOffset, kFirmwareBytes);
    identity->serial = IdentifyText(identifyPage + kSerialOffset, kSerialBytes);
    return true;
}

void FixAtaString(char* field, int length) {
    // ATA keeps two characters per word, the first in the high byte.
    for (int i = 0; i + 1 < length; i += 2) std::swap(field[i], field[i + 1]);
    // Cut where the right-hand padding begins: the first space, scanning from
    // the end, whose left neighbour is not a space.
    for (int i = length - 1; i >= 1; --i) {
        if (field[i] == ' ' && field[i - 1] != ' ') {
            field[i] = '\0';
            return;
        }
    }
}
