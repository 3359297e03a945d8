// The SMART wire records and request codes of the SMART channel, laid next to
// the SDK's own: same sizes, same field offsets.
#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <cstring>

#include "smart/smart_channel.h"
#include "tests/platform/win32/check.h"

#define SAME_OFFSET(ours, theirs, field) (offsetof(ours, field) == offsetof(theirs, field))

static_assert(kSmartSendDriveCommand == SMART_SEND_DRIVE_COMMAND, "send request code");
static_assert(kSmartRcvDriveData == SMART_RCV_DRIVE_DATA, "receive request code");
static_assert(sizeof(SmartIdeRegs) == sizeof(IDEREGS), "task file size");
static_assert(SAME_OFFSET(SmartIdeRegs, IDEREGS, bFeaturesReg) &&
                  SAME_OFFSET(SmartIdeRegs, IDEREGS, bSectorCountReg) &&
                  SAME_OFFSET(SmartIdeRegs, IDEREGS, bCylLowReg) &&
                  SAME_OFFSET(SmartIdeRegs, IDEREGS, bDriveHeadReg) &&
                  SAME_OFFSET(SmartIdeRegs, IDEREGS, bCommandReg),
              "task file fields");
static_assert(sizeof(SmartCmdInParams) == sizeof(SENDCMDINPARAMS), "input block size");
static_assert(SAME_OFFSET(SmartCmdInParams, SENDCMDINPARAMS, irDriveRegs) &&
                  SAME_OFFSET(SmartCmdInParams, SENDCMDINPARAMS, bDriveNumber) &&
                  SAME_OFFSET(SmartCmdInParams, SENDCMDINPARAMS, dwReserved) &&
                  SAME_OFFSET(SmartCmdInParams, SENDCMDINPARAMS, bBuffer),
              "input block fields");
static_assert(sizeof(SmartDriverStatus) == sizeof(DRIVERSTATUS), "driver status size");
static_assert(SAME_OFFSET(SmartDriverStatus, DRIVERSTATUS, bIDEError) &&
                  SAME_OFFSET(SmartDriverStatus, DRIVERSTATUS, dwReserved),
              "driver status fields");
// The SDK declares the answer with a one-byte buffer; ours holds the 512-byte page.
static_assert(SAME_OFFSET(SmartCmdOutParams, SENDCMDOUTPARAMS, DriverStatus) &&
                  SAME_OFFSET(SmartCmdOutParams, SENDCMDOUTPARAMS, bBuffer),
              "answer block fields");
static_assert(sizeof(SmartCmdOutParams) == offsetof(SENDCMDOUTPARAMS, bBuffer) + 512,
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
