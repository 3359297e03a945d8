// Overlapped transfers through the completion port, on a plain file opened
// the way a drive is opened.
#include <windows.h>

#include <cstring>

#include "platform/drive.h"
#include "platform/win32/raw_device.h"
#include "platform/win32/volume_probe.h"
#include "tests/platform/win32/check.h"
#include "tests/platform/win32/scratch_folder.h"

namespace {

constexpr std::uint32_t kBlockBytes = 65536;

// A transfer record as the engine keeps it: the slot first.
struct Request {
    platform::OverlappedSlot slot;
    int tag;
};

// Page-aligned memory, as unbuffered transfers need.
class AlignedBlock {
public:
    AlignedBlock()
        : data_(static_cast<unsigned char*>(
              VirtualAlloc(nullptr, kBlockBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {}
    ~AlignedBlock() { VirtualFree(data_, 0, MEM_RELEASE); }
    AlignedBlock(const AlignedBlock&) = delete;
    AlignedBlock& operator=(const AlignedBlock&) = delete;
    unsigned char* data() { return data_; }

private:
    unsigned char* data_;
};

// Starts one transfer and waits for it; true when it completed on the port
// with the request's own slot.
bool Transfer(platform::Drive* drive, Request* request, std::int64_t offsetBytes, void* buffer,
              bool isRead) {
    std::memset(&request->slot, 0, sizeof request->slot);
    const platform::IoStartResult started =
        drive->StartTransfer(&request->slot, offsetBytes, buffer, kBlockBytes, isRead);
    if (started.status == platform::IoStart::Failed) return false;
    // Finished at once or pending: either way one completion is queued.
    platform::OverlappedSlot* completed = nullptr;
    if (!drive->WaitCompletion(10000, &completed)) return false;
    return completed == &request->slot;
}

}  // namespace

CHECK_CASE(MissingDeviceIsReportedWithTheSystemsCode) {
    std::uint32_t error = 0;
    EXPECT_TRUE(platform::SystemDrives().Open(250, &error) == nullptr);
    EXPECT_TRUE(error != 0);
    ScratchFolder scratch;
    EXPECT_TRUE(platform::win32::OpenRawDevicePath(scratch.File(L"none.img"), &error) == nullptr);
    EXPECT_EQ(static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND), error);
    EXPECT_TRUE(platform::SystemDrives().Path(3) == L"\\\\.\\PhysicalDrive3");
    EXPECT_TRUE(platform::SystemDrives().Path(10) == L"\\\\.\\PhysicalDrive10");
}

CHECK_CASE(TransfersCompleteOnThePortAtTheirOffsets) {
    ScratchFolder scratch;
    const std::wstring image = scratch.File(L"drive.img");
    EXPECT_TRUE(WriteTextFile(image, ""));
    std::uint32_t error = 0;
    const std::unique_ptr<platform::Drive> owned =
        platform::win32::OpenRawDevicePath(image, &error);
    platform::Drive* const drive = owned.get();
    EXPECT_TRUE(drive != nullptr);
    if (drive == nullptr) return;
    platform::OverlappedSlot* none = nullptr;
    Request early{};
    AlignedBlock buffer;
    // Before its port exists a drive starts nothing.
    EXPECT_TRUE(!Transfer(drive, &early, 0, buffer.data(), true));
    const bool attached = drive->AttachPort() == platform::PortSetup::Ready;
    EXPECT_TRUE(attached);
    if (attached) {
        // Nothing in flight: the wait times out.
        EXPECT_TRUE(!drive->WaitCompletion(50, &none) && none == nullptr);

        AlignedBlock low, high, back;
        std::memset(low.data(), 0x5A, kBlockBytes);
        std::memset(high.data(), 0xA5, kBlockBytes);
        Request write{}, read{};
        // Beyond 4 GiB, so the offset's high half must reach the system.
        const std::int64_t highOffset = (std::int64_t{1} << 32) + kBlockBytes;
        EXPECT_TRUE(Transfer(drive, &write, 0, low.data(), false));
        EXPECT_TRUE(Transfer(drive, &write, highOffset, high.data(), false));

        LARGE_INTEGER size{};
        const HANDLE probe = CreateFileW(image.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_TRUE(probe != INVALID_HANDLE_VALUE && GetFileSizeEx(probe, &size));
        if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
        EXPECT_EQ(highOffset + kBlockBytes, static_cast<std::int64_t>(size.QuadPart));

        EXPECT_TRUE(Transfer(drive, &read, highOffset, back.data(), true));
        EXPECT_TRUE(std::memcmp(back.data(), high.data(), kBlockBytes) == 0);
        EXPECT_TRUE(Transfer(drive, &read, 0, back.data(), true));
        EXPECT_TRUE(std::memcmp(back.data(), low.data(), kBlockBytes) == 0);

        // A read past the end fails, at once or on the port.
        EXPECT_TRUE(!Transfer(drive, &read, highOffset + 4 * kBlockBytes, back.data(), true));
    }
}

CHECK_CASE(NoVolumeLiesOnADiskThatDoesNotExist) {
    EXPECT_TRUE(!platform::win32::VolumesOnDisk(250).partitionTable);
}

namespace {

// Waits until the system has finished the transfer (its packet is queued).
bool FinishedBySystem(const Request& request) {
    const auto* overlapped = reinterpret_cast<const OVERLAPPED*>(request.slot.bytes);
    for (int i = 0; i < 500 && !HasOverlappedIoCompleted(overlapped); ++i) Sleep(10);
    return HasOverlappedIoCompleted(overlapped);
}

}  // namespace

CHECK_CASE(CancelTakesAFinishedTransfersPacketAndKeepsOthersForTheWait) {
    ScratchFolder scratch;
    const std::wstring image = scratch.File(L"drive.img");
    EXPECT_TRUE(WriteTextFile(image, std::string(4 * kBlockBytes, 'x')));
    std::uint32_t error = 0;
    const std::unique_ptr<platform::Drive> drive =
        platform::win32::OpenRawDevicePath(image, &error);
    EXPECT_TRUE(drive != nullptr && drive->AttachPort() == platform::PortSetup::Ready);
    if (drive == nullptr) return;
    AlignedBlock first, second;
    Request cancelled{}, other{};
    // The other transfer's packet is queued first, the cancelled one's after it.
    EXPECT_TRUE(drive->StartTransfer(&other.slot, 0, first.data(), kBlockBytes, true).status !=
                platform::IoStart::Failed);
    EXPECT_TRUE(FinishedBySystem(other));
    EXPECT_TRUE(drive->StartTransfer(&cancelled.slot, kBlockBytes, second.data(), kBlockBytes, true)
                    .status != platform::IoStart::Failed);
    EXPECT_TRUE(FinishedBySystem(cancelled));
    // Finished but not collected: the cancel reaps its packet.
    EXPECT_TRUE(drive->CancelTransfer(&cancelled.slot, 5000));
    platform::OverlappedSlot* done = nullptr;
    EXPECT_TRUE(drive->WaitCompletion(1000, &done));
    EXPECT_TRUE(done == &other.slot);  // never the cancelled slot
    EXPECT_TRUE(!drive->WaitCompletion(200, &done) && done == nullptr);
}
