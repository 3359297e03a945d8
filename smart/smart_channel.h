// The ATA SMART channel: SMART READ DATA, SMART ENABLE OPERATIONS and IDENTIFY
// DEVICE sent through the drive's SMART pass-through control requests. Every
// call opens and closes its own handle; failures are a false result plus a
// trace note.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/device_control.h"
#include "smart/smart_data_block.h"

constexpr std::uint32_t kSmartSendDriveCommand = 0x7C084;
constexpr std::uint32_t kSmartRcvDriveData = 0x7C088;
constexpr std::uint32_t kSmartOutBytes = 528;  // 16-byte header + 512 data bytes

#pragma pack(push, 1)
struct SmartIdeRegs {
    std::uint8_t bFeaturesReg;
    std::uint8_t bSectorCountReg;
    std::uint8_t bSectorNumberReg;
    std::uint8_t bCylLowReg;
    std::uint8_t bCylHighReg;
    std::uint8_t bDriveHeadReg;
    std::uint8_t bCommandReg;
    std::uint8_t bReserved;
};
struct SmartCmdInParams {
    std::uint32_t cBufferSize;
    SmartIdeRegs irDriveRegs;
    std::uint8_t bDriveNumber;
    std::uint8_t bReserved[3];
    std::uint32_t dwReserved[4];
    std::uint8_t bBuffer[1];
};
struct SmartDriverStatus {
    std::uint8_t bDriverError;
    std::uint8_t bIDEError;
    std::uint8_t bReserved[2];
    std::uint32_t dwReserved[2];
};
struct SmartCmdOutParams {
    std::uint32_t cBufferSize;
    SmartDriverStatus DriverStatus;
    std::uint8_t bBuffer[512];
};
#pragma pack(pop)
static_assert(sizeof(SmartIdeRegs) == 8, "SmartIdeRegs is 8 bytes on the wire");
static_assert(sizeof(SmartCmdInParams) == 33, "SmartCmdInParams is 33 bytes on the wire");
static_assert(offsetof(SmartCmdInParams, bDriveNumber) == 12, "drive number byte at 12");
static_assert(sizeof(SmartDriverStatus) == 12, "SmartDriverStatus is 12 bytes");
static_assert(sizeof(SmartCmdOutParams) == kSmartOutBytes, "SmartCmdOutParams is 528 bytes");

/// Model, firmware and serial texts of IDENTIFY DEVICE, cleaned.
struct DriveIdentity {
    std::string model;
    std::string firmware;
    std::string serial;
};

/// The zero-filled SMART command block (signature 0x4F/0xC2, command 0xB0,
/// sector count and number 1) with the given feature and expected data size.
SmartCmdInParams MakeSmartCommand(std::uint8_t feature, std::uint32_t bufferSize);
/// The zero-filled IDENTIFY DEVICE block for drive N: Device/Head 0xA0, 0xB0
/// for an odd N, and N's low byte as the drive number byte.
SmartCmdInParams MakeIdentifyCommand(std::int32_t driveNumber);

/// Opens drive N for the SMART requests; false (and *handle null) on failure.
bool GetIoCtrlHandle(std::int32_t driveNumber, platform::ControlHandle** handle);
/// SMART ENABLE OPERATIONS; true when the platform call reports success.
bool EnableSmart(std::int32_t driveNumber);
/// SMART READ DATA into a 528-byte output block; true when exactly 528 bytes came back.
bool GetSmartCmdOutParam(std::int32_t driveNumber, SmartCmdOutParams* out);
/// The attribute read with one enable-and-retry recovery step.
bool GetSmartReadData(std::int32_t driveNumber, SmartDataBlock* block);
/// IDENTIFY DEVICE into a 512-byte page; fills `identity` when given.
bool GetIdentifyData(std::int32_t driveNumber, std::uint8_t* identifyPage, DriveIdentity* identity);
/// Swaps the bytes of each pair, then cuts the field where its trailing spaces begin.
void FixAtaString(char* field, int length);
