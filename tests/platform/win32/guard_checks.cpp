// The Windows guard's probes over image files opened as the guard opens a
// disk: every planted signature is refused with its line; a blank image
// passes the signature, layout and writable probes.
#include <windows.h>

#include "platform/win32/disk_probe.h"
#include "tests/platform/win32/check.h"
#include "tests/platform/win32/scratch_folder.h"
#include "tests/platform/win32/signature_plants.h"

namespace {

// Makes the image and opens it for reading; INVALID_HANDLE_VALUE on failure.
HANDLE PlantedImage(const std::wstring& path, const signature_plants::Case& image) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return file;
    LARGE_INTEGER at{};
    at.QuadPart = image.sizeBytes;
    bool made = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    for (const signature_plants::Plant& plant : image.plants) {
        at.QuadPart = plant.offset >= 0 ? plant.offset : image.sizeBytes + plant.offset;
        DWORD written = 0;
        made = made && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
               WriteFile(file, plant.bytes.data(), static_cast<DWORD>(plant.bytes.size()), &written,
                         nullptr);
    }
    CloseHandle(file);
    if (!made) return INVALID_HANDLE_VALUE;
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

}  // namespace

CHECK_CASE(EverySignaturePlantedInAnImageIsRefusedWithItsLine) {
    ScratchFolder scratch;
    const std::wstring path = scratch.File(L"disk.img");
    for (const signature_plants::Case& image : signature_plants::SignatureCases()) {
        const HANDLE disk = PlantedImage(path, image);
        EXPECT_TRUE(disk != INVALID_HANDLE_VALUE);
        if (disk == INVALID_HANDLE_VALUE) continue;
        const platform::DiskGuardResult result = platform::win32::CheckSignatures(disk, path);
        CloseHandle(disk);
        EXPECT_TRUE(result.refused);
        EXPECT_EQ(std::string(image.finding) + " on " + Narrow(path) +
                      " (wipe it first, e.g. with diskpart clean)",
                  result.reason);
    }
}

CHECK_CASE(BlankImagePassesEveryProbeOfTheDisk) {
    ScratchFolder scratch;
    const std::wstring path = scratch.File(L"blank.img");
    const HANDLE disk = PlantedImage(path, {"", {}});
    EXPECT_TRUE(disk != INVALID_HANDLE_VALUE);
    if (disk == INVALID_HANDLE_VALUE) return;
    EXPECT_TRUE(!platform::win32::CheckSignatures(disk, path).refused);
    EXPECT_TRUE(!platform::win32::CheckLayouts(disk, path).refused);
    EXPECT_TRUE(!platform::win32::CheckWritable(disk, path).refused);
    CloseHandle(disk);
}
