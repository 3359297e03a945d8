// Opening, guarding and releasing a drive of a source the test hands the
// context: an in-memory drive that records what the engine asks of it.
#include "engine/drive_open.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/drive_refusal.h"
#include "engine/guarded_drives.h"
#include "engine/loop_support.h"
#include "engine/test_context.h"
#include "text/operator_output.h"

namespace {

// Transfers are accepted and never complete; every call is logged.
class MemoryDrive final : public platform::Drive {
public:
    MemoryDrive(platform::PortSetup port, std::vector<std::string>* calls)
        : port_(port), calls_(calls) {}
    ~MemoryDrive() override { calls_->push_back("close"); }

    bool SizeBytes(std::int64_t* sizeBytes) override {
        *sizeBytes = 4 * kBlockBytes;
        return true;
    }
    bool Layout(std::vector<std::uint8_t>* partitionTypes) override {
        partitionTypes->assign(4, 0);
        return true;
    }
    platform::PortSetup AttachPort() override { return port_; }
    bool RegisterTransferMemory(void*, std::size_t) override { return Log("register", true); }
    void UnregisterTransferMemory() override { Log("unregister", true); }
    platform::IoStartResult StartTransfer(platform::OverlappedSlot*, std::int64_t, void*,
                                          std::uint32_t, bool) override {
        Log("start", true);
        return {platform::IoStart::Pending, 0};
    }
    bool WaitCompletion(std::uint32_t, platform::OverlappedSlot** slot) override {
        *slot = nullptr;
        return Log("wait", false);
    }
    bool CancelTransfer(platform::OverlappedSlot*, std::uint32_t) override {
        return Log("cancel", true);
    }

private:
    bool Log(const char* call, bool answer) {
        calls_->push_back(call);
        return answer;
    }
    platform::PortSetup port_;
    std::vector<std::string>* calls_;
};

class MemorySource final : public platform::DriveSource {
public:
    std::wstring Path(std::uint32_t n) override { return L"memory" + std::to_wstring(n); }
    std::unique_ptr<platform::Drive> Open(std::uint32_t, std::uint32_t*) override {
        ++opens;
        return std::make_unique<MemoryDrive>(port, &calls);
    }
    platform::DiskGuardResult CheckBeforeWrite(std::uint32_t) override { return guard; }

    platform::PortSetup port = platform::PortSetup::Ready;
    platform::DiskGuardResult guard;
    std::vector<std::string> calls;
    int opens = 0;
};

template <typename Session>
std::string Failure(void (*step)(const RunSettings&, Session&), CSSDTest& test) {
    const OutputCapture quiet;
    std::string failure;
    try {
        step(test, test);
    } catch (const std::exception& error) {
        failure = error.what();
    }
    return failure;
}

TEST(DriveSource, APortThatCannotBeSetUpNamesItsStepAndClosesTheDrive) {
    const std::vector<std::pair<platform::PortSetup, std::string>> cases = {
        {platform::PortSetup::CreateFailed, "CreateIoCompletionPort1 failed."},
        {platform::PortSetup::AttachFailed, "CreateIoCompletionPort2 failed."},
        {platform::PortSetup::Ready, ""},
    };
    for (const auto& [port, message] : cases) {
        MemorySource source;
        source.port = port;
        CSSDTest test;
        test.driveSource = &source;
        EXPECT_EQ(Failure(OpenDrive, test), message);
        EXPECT_EQ(test.drive == nullptr, !message.empty()) << message;
    }
}

TEST(DriveSource, TheSourcesGuardRefusesWithTheOperatorsMessageAndItsReason) {
    MemorySource source;
    CSSDTest test;
    test.driveSource = &source;
    EXPECT_EQ(Failure(GuardDrive, test), "");
    source.guard = {true, true, "memory0: partition table"};
    try {
        GuardDrive(test, test);
        ADD_FAILURE() << "not refused";
    } catch (const DriveRefusal& refusal) {
        EXPECT_EQ(RefusalText(refusal), "Drive contains partitions\nmemory0: partition table");
    }
    source.guard = {true, false, "memory0: in use"};
    EXPECT_EQ(Failure(GuardDrive, test), "CreateFile failed");
    EXPECT_TRUE(source.calls.empty()) << "the guard opens nothing";
}

TEST(DriveSource, AGuardedSourceNeverOpensADriveItsGuardRefuses) {
    MemorySource source;
    GuardedDrives guarded(source);
    CSSDTest test;
    test.driveSource = &guarded;
    source.guard = {true, false, "memory0: in use"};
    EXPECT_EQ(Failure(OpenDrive, test), "CreateFile failed");  // without GuardDrive before it
    EXPECT_EQ(source.opens, 0);
    EXPECT_EQ(test.drive, nullptr);
    source.guard = {};
    EXPECT_EQ(Failure(OpenDrive, test), "");
    EXPECT_EQ(source.opens, 1);
}

TEST(DriveSource, ANumberThatNowNamesAnotherDeviceThanTheCheckedOneIsNotOpened) {
    MemorySource source;
    CSSDTest test;
    test.driveSource = &source;
    test.identity.path = L"memory7";  // checked as drive 7, opened as drive 0
    EXPECT_EQ(Failure(OpenDrive, test), "Drive Not Found");
    EXPECT_EQ(source.opens, 0);
}

TEST(DriveSource, EveryTransferInFlightIsCancelledBeforeTheirMemoryIsUnregistered) {
    MemorySource source;
    CSSDTest test;
    test.driveSource = &source;
    ASSERT_EQ(Failure(OpenDrive, test), "");
    {
        TransferBuffers buffers(3, 3);
        for (int i = 0; i < 3; ++i)
            buffers.Submit(test, test.timings, i * std::int64_t{kBlockBytes}, buffers[i].data(),
                           true);
        EXPECT_THROW(buffers.Complete(test, test.timings), std::runtime_error);
    }
    CloseDrive(test);
    EXPECT_EQ(source.calls,
              (std::vector<std::string>{"register", "start", "start", "start", "wait", "cancel",
                                        "cancel", "cancel", "unregister", "close"}));
}

}  // namespace
