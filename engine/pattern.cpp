#include "engine/pattern.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "engine/bit_count.h"
#include "engine/replace_file.h"
#include "engine/run_folders.h"
#include "platform/process.h"
#include "smart/process_utils.h"
#include "text/operator_output.h"

namespace {

constexpr std::uint32_t kBlockWords = kBlockBytes / 4;
constexpr std::uint32_t kSectorBytes = 512;

// Verification sweeps the block in pieces small enough to stay in the
// first-level cache between comparing and clearing.
constexpr std::uint32_t kSweepBytes = 4096;

// Adds the bit errors and error sectors of `bytes` bytes (whole sectors);
// bits are counted only in the sectors that differ.
void AddSectorErrors(const std::uint8_t* data, const std::uint8_t* pattern, std::uint32_t bytes,
                     BlockErrors* errors) {
    for (std::uint32_t offset = 0; offset < bytes; offset += kSectorBytes) {
        if (std::memcmp(data + offset, pattern + offset, kSectorBytes) == 0) continue;
        errors->first += static_cast<std::uint32_t>(
            bit_count::CountDifferentBits(data + offset, pattern + offset, kSectorBytes));
        ++errors->second;
    }
}

BlockErrors ReportErrors(VerificationTotals& totals, const BlockErrors& errors) {
    if (errors.second == 0) return errors;
    Out() << "Verify : " << errors.first << " " << errors.second << std::endl;
    totals.uncorrectableBitErrors += errors.first;
    totals.sectorFailCount += errors.second;
    return errors;
}

}  // namespace

void FillPattern(PatternSource& source, std::uint32_t* buffer) {
    for (std::uint32_t i = 0; i < kBlockWords; ++i) buffer[i] = source.NextPatternWord();
}

BlockErrors CountBitErrors(const std::uint8_t* data, const std::uint8_t* pattern) {
    BlockErrors errors{0, 0};
    AddSectorErrors(data, pattern, kBlockBytes, &errors);
    return errors;
}

BlockErrors VerifyBlock(VerificationTotals& totals, const std::uint8_t* data,
                        const std::uint8_t* pattern) {
    // The usual case, an intact block, costs one comparison pass.
    if (std::memcmp(data, pattern, kBlockBytes) == 0) return {0, 0};
    return ReportErrors(totals, CountBitErrors(data, pattern));
}

BlockErrors VerifyAndClearBlock(VerificationTotals& totals, std::uint8_t* data,
                                const std::uint8_t* pattern) {
    BlockErrors errors{0, 0};
    for (std::uint32_t offset = 0; offset < kBlockBytes; offset += kSweepBytes) {
        if (std::memcmp(data + offset, pattern + offset, kSweepBytes) != 0)
            AddSectorErrors(data + offset, pattern + offset, kSweepBytes, &errors);
        std::memset(data + offset, 0, kSweepBytes);
    }
    return ReportErrors(totals, errors);
}

std::wstring DumpFileName(int k, const RunSettings& settings) {
    return platform::JoinPath(FilesFolder(settings),
                              L"drive" + std::to_wstring(settings.driveNumber) + L"_DumpFile" +
                                  std::to_wstring(k) + L".dat");
}

bool WriteDumpFiles(const RunSettings& settings, const std::uint8_t* currentPattern,
                    const std::uint8_t* previousPattern) {
    const std::uint8_t* patterns[2] = {currentPattern, previousPattern};
    bool written = true;
    for (int k = 1; k <= 2; ++k) {
        const std::wstring path = DumpFileName(k, settings);
        const std::string reason = ReplaceFileContents(path, patterns[k - 1], kBlockBytes);
        if (!reason.empty()) {
            OutWide(L"Dump File Write Failed: " + path + L": " + ToWide(reason) + L"\n");
            written = false;
        }
    }
    return written;
}

void ReadDumpFile(const RunSettings& settings, std::uint8_t* buffer) {
    std::FILE* file = platform::OpenFile(DumpFileName(1, settings), "rb");
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
