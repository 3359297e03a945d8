// The SMART wire records and request codes of the SMART channel, laid next to
// the SDK's own: same sizes, same field offsets.
#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <cstring>

#include "platform/ata_wire.h"
#include "smart/smart_channel.h"
#include "tests/platform/win32/check.h"

namespace ata = platform::ata;

// Our record beside the SDK's: the field named lies at the same offset in both.
#define SAME_OFFSET(ours, theirs, field) (offsetof(ours, field) == offsetof(theirs, field))
#define TASK_FILE(field) SAME_OFFSET(ata::SmartIdeRegs, IDEREGS, field)
#define IN_BLOCK(field) SAME_OFFSET(ata::SmartCmdInParams, SENDCMDINPARAMS, field)
#define DRIVER_STATUS(field) SAME_OFFSET(ata::SmartDriverStatus, DRIVERSTATUS, field)
#define ANSWER(field) SAME_OFFSET(ata::SmartCmdOutParams, SENDCMDOUTPARAMS, field)

static_assert(ata::kSmartSendDriveCommand == SMART_SEND_DRIVE_COMMAND, "send request code");
static_assert(ata::kSmartRcvDriveData == SMART_RCV_DRIVE_DATA, "receive request code");
static_assert(sizeof(ata::SmartIdeRegs) == sizeof(IDEREGS), "task file size");
static_assert(TASK_FILE(bFeaturesReg) && TASK_FILE(bSectorCountReg) && TASK_FILE(bCylLowReg) &&
                  TASK_FILE(bDriveHeadReg) && TASK_FILE(bCommandReg),
              "task file fields");
static_assert(sizeof(ata::SmartCmdInParams) == sizeof(SENDCMDINPARAMS), "input block size");
static_assert(IN_BLOCK(irDriveRegs) && IN_BLOCK(bDriveNumber) && IN_BLOCK(dwReserved) &&
                  IN_BLOCK(bBuffer),
              "input block fields");
static_assert(sizeof(ata::SmartDriverStatus) == sizeof(DRIVERSTATUS), "driver status size");
static_assert(DRIVER_STATUS(bIDEError) && DRIVER_STATUS(dwReserved), "driver status fields");
// The SDK declares the answer with a one-byte buffer; ours holds the 512-byte page.
static_assert(ANSWER(DriverStatus) && ANSWER(bBuffer), "answer block fields");
static_assert(sizeof(ata::SmartCmdOutParams) == offsetof(SENDCMDOUTPARAMS, bBuffer) + 512,
              "answer block size");

CHECK_CASE(SmartWireRecordsMatchTheSdk) {
    // Compiled together with <windows.h> and <winioctl.h>; the comparisons are
    // the static assertions above. The commands build the same bytes.
    const SmartCmdInParams ours = MakeSmartCommand(0xD0, 512);
    SENDCMDINPARAMS theirs{};
    std::memcpy(&theirs, &ours, sizeof theirs);
    EXPECT_EQ(0xB0, static_cast<int>(theirs.irDriveRegs.bCommandReg));
    EXPECT_EQ(0xC2, static_cast<int>(theirs.irDriveRegs.bCylHighReg));
    EXPECT_EQ(512u, static_cast<unsigned>(theirs.cBufferSize));
}
