// The ATA SMART channel: SMART READ DATA, SMART ENABLE OPERATIONS and IDENTIFY
// DEVICE sent through the drive's SMART pass-through control requests. Every
// call opens and closes its own handle; failures are a false result plus a
// trace note.
#pragma once

#include <cstdint>
#include <string>

#include "disks/drive_identity.h"
#include "platform/ata_wire.h"
#include "platform/device_control.h"
#include "platform/drive_number.h"
#include "smart/smart_data_block.h"

// The channel's wire records; the bytes are laid out in platform/ata_wire.h.
using platform::ata::SmartCmdInParams;
using platform::ata::SmartCmdOutParams;

/// The zero-filled SMART command block (signature 0x4F/0xC2, command 0xB0,
/// sector count and number 1) with the given feature and expected data size.
SmartCmdInParams MakeSmartCommand(std::uint8_t feature, std::uint32_t bufferSize);
/// The zero-filled IDENTIFY DEVICE block for drive N: Device/Head 0xA0, 0xB0
/// for an odd N, and N's low byte as the drive number byte.
SmartCmdInParams MakeIdentifyCommand(platform::DriveNumber driveNumber);

/// Opens drive N for the SMART requests; false (and *handle null) on failure.
bool GetIoCtrlHandle(platform::DriveNumber driveNumber, platform::ControlHandle** handle);
/// SMART ENABLE OPERATIONS; true when the platform call reports success.
bool EnableSmart(platform::DriveNumber driveNumber);
/// SMART READ DATA into a 528-byte output block; true when exactly 528 bytes came back.
bool GetSmartCmdOutParam(platform::DriveNumber driveNumber, SmartCmdOutParams* out);
/// The attribute read with one enable-and-retry recovery step.
bool GetSmartReadData(platform::DriveNumber driveNumber, SmartDataBlock* block);
/// IDENTIFY DEVICE into a 512-byte page; fills the model, firmware and serial
/// of `identity` when given (the other fields are left as they were).
bool GetIdentifyData(platform::DriveNumber driveNumber, std::uint8_t* identifyPage,
                     DriveIdentity* identity);
/// Swaps the bytes of each pair, then cuts the right-hand padding (spaces and
/// NULs at the end); inner blanks of a full field stay.
void FixAtaString(char* field, int length);
