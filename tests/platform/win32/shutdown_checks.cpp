// The end of the session during a normal test: the hidden window receives
// the system's messages (posted here as the system would send them), the
// test ends as after Ctrl+C, and its dump record and files say what is on
// the drive (an image file opened as a drive is).
#include <windows.h>

#include <cstring>
#include <memory>
#include <vector>

#include "console/check_interrupt.h"
#include "engine/drive_open.h"
#include "engine/dump_record.h"
#include "engine/normal_loop.h"
#include "engine/pattern.h"
#include "engine/test_context.h"
#include "platform/console.h"
#include "platform/drive_decorator.h"
#include "platform/unattended.h"
#include "platform/win32/raw_device.h"
#include "platform/win32/shutdown_watch.h"
#include "tests/platform/win32/check.h"
#include "tests/platform/win32/scratch_folder.h"
#include "text/operator_output.h"
#include "tracking/result_log.h"
#include "tracking/round_recorder.h"

namespace {

constexpr std::int64_t kImageBytes = 8 << 20;

// The image answers no disk requests: its size and an empty layout are given.
class ImageDrive final : public platform::DriveDecorator {
public:
    using DriveDecorator::DriveDecorator;
    bool SizeBytes(std::int64_t* sizeBytes) override {
        *sizeBytes = kImageBytes;
        return true;
    }
    bool Layout(std::vector<std::uint8_t>* partitionTypes) override {
        partitionTypes->clear();
        return true;
    }
};

class ImageDrives final : public platform::DriveSource {
public:
    explicit ImageDrives(std::wstring image) : image_(std::move(image)) {}
    std::wstring Path(std::uint32_t) override { return image_; }
    std::unique_ptr<platform::Drive> Open(std::uint32_t, std::uint32_t* errorCode) override {
        auto drive = platform::win32::OpenRawDevicePath(image_, errorCode);
        if (drive == nullptr) return nullptr;
        return std::make_unique<ImageDrive>(std::move(drive));
    }
    // The image is this check's own scratch file: nothing on it to guard.
    platform::DiskGuardResult CheckBeforeWrite(std::uint32_t) override { return {}; }

private:
    std::wstring image_;
};

std::vector<std::uint8_t> ReadBlock(const std::wstring& path) {
    std::string content = ReadTextFile(path);
    if (content.size() > kBlockBytes) content.resize(kBlockBytes);
    return std::vector<std::uint8_t>(content.begin(), content.end());
}

}  // namespace

CHECK_CASE(SessionEndStopsTheTestAsCtrlCAndItsRecordsAreTrue) {
    ScratchFolder scratch;
    const std::wstring image = scratch.File(L"drive.img");
    EXPECT_TRUE(WriteTextFile(image, std::string(kImageBytes, '\0')));
    ImageDrives source(image);
    CSSDTest test;
    test.driveNumber = 7;
    test.driveSource = &source;
    test.filesFolder = scratch.path();
    test.sharedFolder = scratch.path();
    test.programFolder = scratch.path();
    test.viewerEnabled = false;
    test.aecTarget = 100;
    test.resultLogPath = scratch.File(L"result.csv");

    int polls = 0;
    test.interruptPoll = [&] {
        if (++polls == 2) {  // one block written
            const HWND window = FindWindowW(platform::win32::kShutdownWindowClass, nullptr);
            EXPECT_TRUE(window != nullptr);
            PostMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP);
            PostMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
            for (int i = 0; i < 500 && platform::StopRequest().empty(); ++i) Sleep(10);
        }
        return CheckInterrupt(test, *test.currentStatus);
    };

    OutputCapture output;
    platform::CatchStopRequests(true);
    platform::BeginUnattendedTest(test.driveNumber);
    try {
        OpenDrive(test, test);
        OpenLogStream(test, *test.currentStatus);
        const RoundRecorder recorder(test);
        NormalTest(test);
    } catch (const std::exception& error) {
        wincheck::Fail(__FILE__, __LINE__, error.what());
    }
    platform::EndUnattendedTest();  // must not hang on the waiting end of session
    platform::CatchStopRequests(false);
    test.drive.reset();
    test.resultLog.close();

    EXPECT_TRUE(output.Text().find("Interrupted\nStop Requested: Shutdown\n") != std::string::npos);

    const std::vector<std::uint8_t> current = ReadBlock(DumpFileName(1, test));
    std::vector<std::uint8_t> previous(kBlockBytes);
    DumpRecord record;
    EXPECT_EQ(static_cast<std::size_t>(kBlockBytes), current.size());
    EXPECT_TRUE(current.size() == kBlockBytes &&
                LoadDumpRecord(test, current.data(), previous.data(), &record));
    EXPECT_EQ(std::int64_t{kBlockBytes}, record.writtenBytes);  // exactly the block written
    EXPECT_EQ(std::int64_t{kBlockBytes}, record.unsureEndBytes);
    const std::string onDrive = ReadTextFile(image);
    EXPECT_TRUE(onDrive.size() == static_cast<std::size_t>(kImageBytes) &&
                std::memcmp(current.data(), onDrive.data(), current.size()) == 0);
    EXPECT_TRUE(onDrive.size() == static_cast<std::size_t>(kImageBytes) &&
                onDrive[kBlockBytes] == '\0');  // the second block was never written
}
