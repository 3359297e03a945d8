// Replacing a record while another program holds it, as a virus scanner
// holds a fresh file for a moment.
#include <windows.h>

#include <cstdio>
#include <thread>

#include "engine/replace_file.h"
#include "platform/process.h"
#include "tests/platform/win32/check.h"
#include "tests/platform/win32/scratch_folder.h"

CHECK_CASE(RenameBlockedForTwoSecondsByAnotherHandleSucceedsOnRetry) {
    ScratchFolder scratch;
    const std::wstring record = scratch.File(L"drive3_DumpRecord.txt");
    EXPECT_TRUE(WriteTextFile(record, "old"));
    // Open without delete sharing: the target cannot be replaced meanwhile.
    const HANDLE holder = CreateFileW(record.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    EXPECT_TRUE(holder != INVALID_HANDLE_VALUE);
    const std::wstring probe = scratch.File(L"probe.tmp");
    EXPECT_TRUE(WriteTextFile(probe, "probe"));
    EXPECT_TRUE(!platform::MoveFileReplacing(probe, record));  // one attempt fails
    EXPECT_TRUE(platform::IsBriefFileLock(platform::LastErrorCode()));

    std::thread release([holder] {
        Sleep(2000);
        CloseHandle(holder);
    });
    const ULONGLONG start = GetTickCount64();
    const std::string reason = ReplaceFileContents(record, "new", 3);
    const ULONGLONG tookMs = GetTickCount64() - start;
    release.join();
    EXPECT_EQ(std::string(), reason);
    EXPECT_EQ(std::string("new"), ReadTextFile(record));
    EXPECT_TRUE(tookMs >= 1900 && tookMs < 5000);
    std::printf("  replaced after %llu ms\n", static_cast<unsigned long long>(tookMs));
}
