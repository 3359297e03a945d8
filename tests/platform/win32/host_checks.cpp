// The viewer host, device control and disk list services of the win32
// backend, as far as they can run without a real drive or desktop.
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/device_control.h"
#include "platform/disk_list.h"
#include "platform/viewer_host.h"
#include "tests/platform/win32/check.h"
#include "tests/platform/win32/scratch_folder.h"

namespace {

std::wstring UniqueMutexName() {
    return L"SSDTEST_CHECK_MUTEX_" + std::to_wstring(GetCurrentProcessId());
}

// Waits for the named mutex from another thread, which owns no handle yet.
platform::MutexWait WaitFromOtherThread(const std::wstring& name, std::uint32_t timeoutMs) {
    platform::MutexWait result = platform::MutexWait::Failed;
    std::thread other([&] {
        platform::NamedMutex* mutex = platform::CreateNamedMutex(name);
        result = platform::WaitNamedMutex(mutex, timeoutMs);
        platform::ReleaseAndCloseMutex(mutex);
    });
    other.join();
    return result;
}

}  // namespace

CHECK_CASE(NamedMutexWaitsTellAcquiredTimedOutAndAbandoned) {
    const std::wstring name = UniqueMutexName();
    platform::NamedMutex* mine = platform::CreateNamedMutex(name);
    EXPECT_TRUE(mine != nullptr);
    if (mine == nullptr) return;
    EXPECT_TRUE(platform::WaitNamedMutex(mine, 1000) == platform::MutexWait::Acquired);
    EXPECT_TRUE(WaitFromOtherThread(name, 50) == platform::MutexWait::TimedOut);
    platform::ReleaseAndCloseMutex(mine);
    EXPECT_TRUE(WaitFromOtherThread(name, 50) == platform::MutexWait::Acquired);

    // An owner that ends without releasing leaves the mutex abandoned.
    platform::NamedMutex* kept = platform::CreateNamedMutex(name);
    std::thread owner([&] {
        platform::NamedMutex* mutex = platform::CreateNamedMutex(name);
        platform::WaitNamedMutex(mutex, 1000);
        // Thread ends while owning; the handle is deliberately left open.
    });
    owner.join();
    EXPECT_TRUE(platform::WaitNamedMutex(kept, 1000) == platform::MutexWait::Abandoned);
    platform::ReleaseAndCloseMutex(kept);
    platform::ReleaseAndCloseMutex(nullptr);
}

CHECK_CASE(ViewerStartsFromAFolderWithBlanks) {
    ScratchFolder scratch;
    const std::wstring folder = scratch.File(L"viewer folder");
    EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) != FALSE);
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring program = folder + L"\\viewer.exe";
    EXPECT_TRUE(CopyFileW((std::wstring(system) + L"\\hostname.exe").c_str(), program.c_str(),
                          FALSE) != FALSE);
    // A decoy where an unquoted command line would look first ("...\viewer"
    // + ".exe"); it is no program, so starting it would fail.
    EXPECT_TRUE(WriteTextFile(scratch.File(L"viewer.exe"), "not a program"));
    platform::ViewerProcess* viewer = platform::StartInNewConsole(program);
    EXPECT_TRUE(viewer != nullptr);
    if (viewer != nullptr) {
        EXPECT_TRUE(platform::WaitProcessEnd(viewer, 10000));
        platform::CloseViewerProcess(viewer);
    }
    EXPECT_TRUE(platform::StartInNewConsole(folder + L"\\missing.exe") == nullptr);
    platform::CloseViewerProcess(nullptr);
}

CHECK_CASE(NoWindowHasAnUnknownTitleNoControlHandleAMissingDrive) {
    EXPECT_TRUE(platform::FindConsoleWindow(L"C:\\no such folder\\no such viewer.exe") == nullptr);
    EXPECT_TRUE(platform::OpenControlHandle(250) == nullptr);
    platform::CloseControlHandle(nullptr);
}

CHECK_CASE(DiskListReadsTheInstrumentation) {
    std::vector<platform::DiskRecord> disks;
    EXPECT_TRUE(platform::EnumerateDisks(&disks));
    EXPECT_TRUE(!disks.empty());  // wine lists its C: drive as a disk
    for (const auto& disk : disks) {
        EXPECT_TRUE(disk.Index >= 0);
        EXPECT_TRUE(!disk.Model.empty());
    }
    // A second enumeration appends the same disks again (keeping them is the
    // caller's business).
    const std::size_t first = disks.size();
    EXPECT_TRUE(platform::EnumerateDisks(&disks));
    EXPECT_EQ(2 * first, disks.size());
}
