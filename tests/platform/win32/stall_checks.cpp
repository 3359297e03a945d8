// A transfer to a drive that never answers: a FIFO made by the build script
// (stall.fifo in the working folder) opened the way a drive is opened. Once
// the wait has timed out, the transfer must be cancelled and reaped so that a
// late answer writes nothing into the request or the buffer.
#include <windows.h>

#include <cstring>

#include "platform/drive.h"
#include "platform/win32/raw_device.h"
#include "tests/platform/win32/check.h"

namespace {

constexpr std::uint32_t kBlockBytes = 4096;
constexpr unsigned char kCanary = 0xC5;

// A request and its buffer, both filled with the canary where the system may write.
struct Guarded {
    platform::OverlappedSlot slot;
    unsigned char buffer[kBlockBytes];
};

bool Untouched(const Guarded& guarded) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&guarded);
    for (std::size_t i = 0; i < sizeof guarded; ++i)
        if (bytes[i] != kCanary) return false;
    return true;
}

// The drive's late answer: bytes written into the FIFO from a second handle.
bool Answer(const std::wstring& fifo) {
    const HANDLE writer =
        CreateFileW(fifo.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    if (writer == INVALID_HANDLE_VALUE) return false;
    static const char answer[kBlockBytes] = {};
    DWORD written = 0;
    const BOOL ok = WriteFile(writer, answer, sizeof answer, &written, nullptr);
    CloseHandle(writer);
    return ok != FALSE;
}

// Starts a read of the stalled drive into `guarded`; true when it is pending.
bool StartStalled(platform::Drive& drive, Guarded* guarded) {
    std::memset(&guarded->slot, 0, sizeof guarded->slot);
    const platform::IoStartResult started =
        drive.StartTransfer(&guarded->slot, 0, guarded->buffer, kBlockBytes, true);
    platform::OverlappedSlot* none = nullptr;
    const bool timedOut = !drive.WaitCompletion(200, &none) && none == nullptr;
    return started.status == platform::IoStart::Pending && timedOut;
}

}  // namespace

CHECK_CASE(StalledTransferIsCancelledAndReapedSoALateAnswerWritesNothing) {
    const std::wstring fifo = L"stall.fifo";
    std::uint32_t error = 0;
    const std::unique_ptr<platform::Drive> drive = platform::win32::OpenRawDevicePath(fifo, &error);
    EXPECT_TRUE(drive != nullptr);  // made by .ci/build-windows.sh
    if (drive == nullptr) return;
    EXPECT_TRUE(drive->AttachPort() == platform::PortSetup::Ready);

    static Guarded guarded;
    // Without a cancel, the late answer lands in the request and the buffer:
    // what a released request would suffer.
    EXPECT_TRUE(StartStalled(*drive, &guarded));
    std::memset(guarded.buffer, kCanary, sizeof guarded.buffer);
    EXPECT_TRUE(Answer(fifo));
    platform::OverlappedSlot* done = nullptr;
    EXPECT_TRUE(drive->WaitCompletion(5000, &done) && done == &guarded.slot);
    EXPECT_TRUE(guarded.buffer[0] != kCanary);

    // Cancelled and reaped: the same answer writes nothing.
    EXPECT_TRUE(StartStalled(*drive, &guarded));
    EXPECT_TRUE(drive->CancelTransfer(&guarded.slot, 5000));
    std::memset(&guarded, kCanary, sizeof guarded);
    EXPECT_TRUE(Answer(fifo));
    Sleep(300);
    EXPECT_TRUE(Untouched(guarded));
    EXPECT_TRUE(!drive->WaitCompletion(100, &done));  // the reaped packet is gone
    // A transfer already collected needs no reap.
    EXPECT_TRUE(drive->CancelTransfer(&guarded.slot, 5000));
}
