// The ATA SMART channel over the platform's device control service.
#include "smart/smart_channel.h"

#include <algorithm>
#include <cstring>
#include <ostream>

#include "smart/trace_stream.h"
#include "text/printable_text.h"

namespace {

namespace ata = platform::ata;

// The enable request passes the input block without its data byte and takes
// back the output header only.
constexpr std::uint32_t kEnableInBytes = ata::kCommandInMinimumBytes;
constexpr std::uint32_t kEnableOutBytes = ata::kAnswerHeaderBytes;

// Sends one request on a fresh handle of the drive. False without a request
// when the drive cannot be opened; otherwise the platform's flag.
bool SendOnce(platform::DriveNumber driveNumber, std::uint32_t code, const SmartCmdInParams& in,
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

// Cleans one identify field in place, then copies it into a text: at most
// `width` bytes, up to a terminator, without leading spaces, every byte
// outside printable ASCII replaced (the text reaches the console, the log and
// file names).
std::string CleanIdentifyText(char* page, int offset, int width) {
    char* field = page + offset;
    FixAtaString(field, width);
    char buffer[256] = {};
    std::memcpy(buffer, field, static_cast<std::size_t>(width));
    buffer[width] = '\0';
    const char* text = buffer;
    while (*text == ' ') ++text;
    return PrintableText(text);
}

}  // namespace

SmartCmdInParams MakeSmartCommand(std::uint8_t feature, std::uint32_t bufferSize) {
    SmartCmdInParams in;
    std::memset(&in, 0, sizeof(in));
    in.cBufferSize = bufferSize;
    in.irDriveRegs.bFeaturesReg = feature;
    in.irDriveRegs.bSectorCountReg = 1;
    in.irDriveRegs.bSectorNumberReg = 1;
    in.irDriveRegs.bCylLowReg = ata::kSmartCylLow;
    in.irDriveRegs.bCylHighReg = ata::kSmartCylHigh;
    in.irDriveRegs.bCommandReg = ata::kCommandSmart;
    return in;
}

SmartCmdInParams MakeIdentifyCommand(platform::DriveNumber driveNumber) {
    SmartCmdInParams in;
    std::memset(&in, 0, sizeof(in));
    in.cBufferSize = ata::kPageBytes;
    in.irDriveRegs.bDriveHeadReg =
        ata::kDeviceHeadMaster | ((driveNumber & 1) != 0 ? ata::kDeviceHeadSlaveBit : 0);
    in.irDriveRegs.bCommandReg = ata::kCommandIdentify;
    in.bDriveNumber = static_cast<std::uint8_t>(driveNumber);
    return in;
}

bool GetIoCtrlHandle(platform::DriveNumber driveNumber, platform::ControlHandle** handle) {
    if (handle == nullptr) return false;
    *handle = platform::OpenControlHandle(driveNumber);
    return *handle != nullptr;
}

bool EnableSmart(platform::DriveNumber driveNumber) {
    const SmartCmdInParams in = MakeSmartCommand(ata::kSmartEnableOperations, 0);
    SmartCmdOutParams out;
    std::memset(&out, 0, sizeof(out));
    bool opened = false;
    std::uint32_t returned = 0;
    const bool ok = SendOnce(driveNumber, ata::kSmartSendDriveCommand, in, kEnableInBytes, &out,
                             kEnableOutBytes, &opened, &returned);
    if (!opened) return false;
    if (!ok) {
        GetTraceStream() << "EnableSmart Failed!" << std::endl;
        return false;
    }
    return true;
}

bool GetSmartCmdOutParam(platform::DriveNumber driveNumber, SmartCmdOutParams* out) {
    std::memset(out, 0, sizeof(*out));
    const SmartCmdInParams in = MakeSmartCommand(ata::kSmartReadData, ata::kPageBytes);
    bool opened = false;
    std::uint32_t returned = 0;
    // Only the returned byte count tells success; the platform's flag is not used.
    SendOnce(driveNumber, ata::kSmartRcvDriveData, in, sizeof(in), out, ata::kAnswerBytes, &opened,
             &returned);
    if (!opened) {
        GetTraceStream() << "GetIoCtrlHandle Failed!" << std::endl;
        return false;
    }
    if (returned != ata::kAnswerBytes) {
        GetTraceStream() << "GetSmartCmdOutParam Failed : dwReturned=" << returned << std::endl;
        return false;
    }
    return true;
}

bool GetSmartReadData(platform::DriveNumber driveNumber, SmartDataBlock* block) {
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

bool GetIdentifyData(platform::DriveNumber driveNumber, std::uint8_t* identifyPage,
                     DriveIdentity* identity) {
    if (identifyPage == nullptr) return false;
    std::memset(identifyPage, 0, ata::kPageBytes);
    if (identity != nullptr) {
        identity->model.clear();
        identity->firmware.clear();
        identity->serial.clear();
    }

    const SmartCmdInParams in = MakeIdentifyCommand(driveNumber);
    SmartCmdOutParams out;
    std::memset(&out, 0, sizeof(out));
    bool opened = false;
    std::uint32_t returned = 0;
    SendOnce(driveNumber, ata::kSmartRcvDriveData, in, sizeof(in), &out, ata::kAnswerBytes, &opened,
             &returned);
    if (!opened || returned != ata::kAnswerBytes) return false;

    std::memcpy(identifyPage, out.bBuffer, ata::kPageBytes);
    if (identity == nullptr) return true;

    char* page = reinterpret_cast<char*>(identifyPage);
    identity->model = CleanIdentifyText(page, ata::kIdentifyModelOffset, ata::kIdentifyModelBytes);
    identity->firmware =
        CleanIdentifyText(page, ata::kIdentifyFirmwareOffset, ata::kIdentifyFirmwareBytes);
    identity->serial =
        CleanIdentifyText(page, ata::kIdentifySerialOffset, ata::kIdentifySerialBytes);
    return true;
}

void FixAtaString(char* field, int length) {
    // ATA keeps two characters per word, the first in the high byte.
    for (int i = 0; i + 1 < length; i += 2) std::swap(field[i], field[i + 1]);
    // Only the right-hand padding goes: a full field keeps its inner blanks,
    // and a field of nothing but spaces is left whole.
    int end = length;
    while (end > 0 && (field[end - 1] == ' ' || field[end - 1] == '\0')) --end;
    if (end == 0) return;
    for (int i = end; i < length; ++i) field[i] = '\0';
}
