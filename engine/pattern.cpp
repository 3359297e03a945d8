#include "engine/pattern.h"

#include <bitset>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <stdexcept>

#include "engine/replace_file.h"
#include "platform/console.h"
#include "platform/process.h"
#include "smart/process_utils.h"

namespace {

constexpr std::uint32_t kBlockWords = kBlockBytes / 4;
constexpr std::uint32_t kSectorBytes = 512;

// Bit errors of one 512-byte sector, eight bytes at a time.
std::uint32_t SectorBitErrors(const std::uint8_t* data, const std::uint8_t* pattern) {
    std::uint32_t bits = 0;
    for (std::uint32_t i = 0; i < kSectorBytes; i += 8) {
        std::uint64_t a;
        std::uint64_t b;
        std::memcpy(&a, data + i, 8);
        std::memcpy(&b, pattern + i, 8);
        bits += static_cast<std::uint32_t>(std::bitset<64>(a ^ b).count());
    }
    return bits;
}

}  // namespace

void FillPattern(CSSDTest& test, std::uint32_t* buffer) {
    for (std::uint32_t i = 0; i < kBlockWords; ++i) buffer[i] = test.NextPatternWord();
}

std::pair<std::uint32_t, std::uint32_t> CountBitErrors(const std::uint8_t* data,
                                                       const std::uint8_t* pattern) {
    std::uint32_t bitErrors = 0;
    std::uint32_t errorSectors = 0;
    for (std::uint32_t offset = 0; offset < kBlockBytes; offset += kSectorBytes) {
        const std::uint32_t sectorBits = SectorBitErrors(data + offset, pattern + offset);
        if (sectorBits != 0) {
            bitErrors += sectorBits;
            ++errorSectors;
        }
    }
    return {bitErrors, errorSectors};
}

void VerifyBlock(CSSDTest& test, const std::uint8_t* data, const std::uint8_t* pattern) {
    // The usual case, an intact block, costs one comparison pass.
    if (std::memcmp(data, pattern, kBlockBytes) == 0) return;
    const auto errors = CountBitErrors(data, pattern);
    std::cout << "Verify : " << errors.first << " " << errors.second << std::endl;
    test.uncorrectableBitErrors += errors.first;
    test.sectorFailCount += errors.second;
}

std::wstring DumpFileName(int k, const CSSDTest& test) {
    return platform::JoinPath(GetModuleFolder(), L"drive" + std::to_wstring(test.driveNumber) +
                                                     L"_DumpFile" + std::to_wstring(k) + L".dat");
}

bool WriteDumpFiles(CSSDTest& test, const std::uint8_t* currentPattern,
                    const std::uint8_t* previousPattern) {
    const std::uint8_t* patterns[2] = {currentPattern, previousPattern};
    bool written = true;
    for (int k = 1; k <= 2; ++k) {
        const std::wstring path = DumpFileName(k, test);
        const std::string reason = ReplaceFileContents(path, patterns[k - 1], kBlockBytes);
        if (!reason.empty()) {
            platform::WriteWide(L"Dump File Write Failed: " + path + L": " + ToWide(reason) +
                                L"\n");
            written = false;
        }
    }
    return written;
}

void ReadDumpFile(CSSDTest& test, std::uint8_t* buffer) {
    const std::string path = platform::NativePath(DumpFileName(1, test));
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        const int error = errno;
        throw std::runtime_error("Dump File Open Failed:" + std::to_string(error));
    }
    const std::size_t bytesRead = std::fread(buffer, 1, kBlockBytes, file);
    std::fclose(file);
    if (bytesRead < kBlockBytes) {
        throw std::runtime_error("Dump File Read Failed:" + std::to_string(bytesRead));
    }
}
