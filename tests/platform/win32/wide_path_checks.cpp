// Files in a program folder whose name the ANSI code page cannot spell
// (.ci/build-windows.sh runs the checks from a Cyrillic and CJK folder), and
// dump files replaced in one step.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "engine/pattern.h"
#include "engine/test_context.h"
#include "platform/process.h"
#include "tests/platform/win32/check.h"
#include "text/crlf_file_stream.h"

namespace {

bool BeyondAnsi(const std::wstring& text) {
    for (const wchar_t c : text)
        if (c > 0x7F) return true;
    return false;
}

std::string Block(const std::uint8_t* data) {
    return std::string(reinterpret_cast<const char*>(data), kBlockBytes);
}

}  // namespace

CHECK_CASE(ProgramFolderBeyondTheAnsiCodePageKeepsItsLogAndDumpFiles) {
    const std::wstring folder = platform::ProgramFolder();
    EXPECT_TRUE(BeyondAnsi(folder));  // run from such a folder by the build script

    const std::wstring log = platform::JoinPath(folder, L"drive7_Lab.csv");
    CrlfFileStream out;
    out.open(platform::FilePath(log), true);
    out << "header\nline\n" << std::flush;
    out.close();
    EXPECT_TRUE(out.good());
    std::ifstream in(platform::FilePath(log), std::ios_base::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(std::string("header\r\nline\r\n"), text);
    in.close();
    DeleteFileW(log.c_str());

    CSSDTest test;
    test.driveNumber = 7;
    static std::uint8_t current[kBlockBytes], previous[kBlockBytes], back[kBlockBytes];
    std::memset(current, 0x3C, kBlockBytes);
    WriteDumpFiles(test, current, previous);
    EXPECT_TRUE(platform::PathExists(DumpFileName(1, test)));
    ReadDumpFile(test, back);
    EXPECT_TRUE(Block(back) == Block(current));
    for (int k = 1; k <= 2; ++k) DeleteFileW(DumpFileName(k, test).c_str());
}

CHECK_CASE(DumpFileIsReplacedInOneStep) {
    CSSDTest test;
    test.driveNumber = 8;
    static std::uint8_t first[kBlockBytes], second[kBlockBytes], back[kBlockBytes];
    std::memset(first, 0x11, kBlockBytes);
    std::memset(second, 0x22, kBlockBytes);
    WriteDumpFiles(test, first, first);
    const std::wstring dump = DumpFileName(1, test);

    // A reader looking all the while never finds the dump file missing.
    std::atomic<bool> writing{true};
    std::atomic<int> missing{0};
    std::thread reader([&] {
        while (writing)
            if (!platform::PathExists(dump)) ++missing;
    });
    for (int round = 0; round < 100; ++round)
        WriteDumpFiles(test, round % 2 ? first : second, first);
    writing = false;
    reader.join();
    EXPECT_EQ(0, missing.load());
    ReadDumpFile(test, back);
    EXPECT_TRUE(Block(back) == Block(first));
    for (int k = 1; k <= 2; ++k) DeleteFileW(DumpFileName(k, test).c_str());
}
