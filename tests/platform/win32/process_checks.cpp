// Files, error texts and the clock of the win32 backend.
#include <windows.h>

#include "platform/clock.h"
#include "platform/process.h"
#include "tests/platform/win32/check.h"
#include "tests/platform/win32/scratch_folder.h"

CHECK_CASE(ProgramFolderIsTheExecutablesFolderWithoutSeparator) {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::wstring modulePath = module;
    const std::wstring folder = platform::ProgramFolder();
    EXPECT_TRUE(!folder.empty());
    EXPECT_TRUE(folder.back() != L'\\');
    EXPECT_TRUE(modulePath.compare(0, folder.size() + 1, folder + L"\\") == 0);
    EXPECT_TRUE(modulePath.find(L'\\', folder.size() + 1) == std::wstring::npos);
}

CHECK_CASE(JoinPathUsesOneBackslashAndNativePathKeepsPlainPaths) {
    EXPECT_TRUE(platform::JoinPath(L"C:\\T", L"x.csv") == L"C:\\T\\x.csv");
    EXPECT_TRUE(platform::JoinPath(L"C:\\", L"x.csv") == L"C:\\x.csv");
    EXPECT_TRUE(platform::SharedFolder() == L"C:\\My Dropbox\\Public");
    EXPECT_EQ(std::string("C:\\My Dropbox\\Public\\drive1_X.csv"),
              platform::NativePath(L"C:\\My Dropbox\\Public\\drive1_X.csv"));
    EXPECT_EQ(std::string(), platform::NativePath(L""));
}

CHECK_CASE(CopyReplacesButMoveRefusesAnExistingTarget) {
    ScratchFolder scratch;
    const std::wstring first = scratch.File(L"first.csv");
    const std::wstring second = scratch.File(L"second.csv");
    EXPECT_TRUE(WriteTextFile(first, "new"));
    EXPECT_TRUE(WriteTextFile(second, "old"));

    EXPECT_TRUE(platform::CopyFileReplacing(first, second));
    EXPECT_EQ(std::string("new"), ReadTextFile(second));

    EXPECT_TRUE(WriteTextFile(second, "kept"));
    EXPECT_TRUE(!platform::MoveFileNoReplace(first, second));
    EXPECT_EQ(std::string("kept"), ReadTextFile(second));
    EXPECT_TRUE(platform::PathExists(first));

    const std::wstring third = scratch.File(L"third.csv");
    EXPECT_TRUE(platform::MoveFileNoReplace(first, third));
    EXPECT_TRUE(!platform::PathExists(first));
    EXPECT_EQ(std::string("new"), ReadTextFile(third));
    EXPECT_TRUE(!platform::CopyFileReplacing(first, second));  // the source is gone
}

CHECK_CASE(SystemErrorTextIsOneLineOrEmptyAndTheLastErrorIsTheThreads) {
    const std::wstring text = platform::SystemErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(!text.empty());
    EXPECT_TRUE(text.find(L'\n') == std::wstring::npos);
    EXPECT_TRUE(text.find(L'\r') == std::wstring::npos);
    EXPECT_TRUE(text.empty() || text.back() != L' ');
    EXPECT_TRUE(platform::SystemErrorText(0x2FFFFFFFu).empty());

    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(static_cast<std::uint32_t>(ERROR_ACCESS_DENIED), platform::LastErrorCode());
}

CHECK_CASE(PerformanceCounterRunsForward) {
    EXPECT_TRUE(platform::PerformanceFrequency() > 0);
    const std::int64_t before = platform::PerformanceCounter();
    Sleep(20);
    const std::int64_t after = platform::PerformanceCounter();
    // 20 ms must show; allow a coarse timer but no standstill or reversal.
    EXPECT_TRUE(after - before >= platform::PerformanceFrequency() / 100);
}
