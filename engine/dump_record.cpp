#include "engine/dump_record.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "engine/pattern.h"
#include "engine/replace_file.h"
#include "engine/run_folders.h"
#include "platform/process.h"
#include "smart/process_utils.h"

namespace {

constexpr const char* kFirstLine = "ssdtest dump record 1";

}  // namespace

std::wstring DumpRecordName(const CSSDTest& test) {
    return platform::JoinPath(FilesFolder(test),
                              L"drive" + std::to_wstring(test.driveNumber) + L"_DumpRecord.txt");
}

std::string PatternId(const std::uint8_t* pattern) {
    // FNV-1a over the pattern's 64-bit words.
    std::uint64_t hash = 14695981039346656037ull;
    for (std::uint32_t i = 0; i < kBlockBytes; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, pattern + i, 8);
        hash = (hash ^ word) * 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::string SaveDumpRecord(const CSSDTest& test, const DumpRecord& record) {
    std::ostringstream text;
    text << kFirstLine << "\n"
         << "current " << record.currentId << "\n"
         << "previous " << record.previousId << "\n"
         << "previous_known " << (record.previousKnown ? 1 : 0) << "\n"
         << "written_bytes " << record.writtenBytes << "\n"
         << "unsure_end_bytes " << record.unsureEndBytes << "\n";
    const std::string content = text.str();
    return ReplaceFileContents(DumpRecordName(test), content.data(), content.size());
}

bool ReadPatternFile(const std::wstring& path, std::uint8_t* pattern) {
    std::ifstream in(platform::FilePath(path), std::ios::binary);
    in.read(reinterpret_cast<char*>(pattern), kBlockBytes);
    return in.gcount() == static_cast<std::streamsize>(kBlockBytes);
}

bool LoadDumpRecord(const CSSDTest& test, const std::uint8_t* current, std::uint8_t* previous,
                    DumpRecord* record) {
    std::ifstream in(platform::FilePath(DumpRecordName(test)));
    std::string first;
    if (!std::getline(in, first) || first != kFirstLine) return false;
    DumpRecord read;
    std::string key;
    int known = -1;
    if (!(in >> key >> read.currentId) || key != "current") return false;
    if (!(in >> key >> read.previousId) || key != "previous") return false;
    if (!(in >> key >> known) || key != "previous_known" || (known != 0 && known != 1))
        return false;
    if (!(in >> key >> read.writtenBytes) || key != "written_bytes") return false;
    if (!(in >> key >> read.unsureEndBytes) || key != "unsure_end_bytes") return false;
    read.previousKnown = known == 1;
    if (read.writtenBytes < 0 || read.unsureEndBytes < read.writtenBytes) return false;
    if (!ReadPatternFile(DumpFileName(2, test), previous)) return false;
    if (read.currentId != PatternId(current) || read.previousId != PatternId(previous))
        return false;
    *record = read;
    return true;
}

RecordedPattern ExpectedAt(const DumpRecord& record, std::int64_t offsetBytes) {
    if (offsetBytes < record.writtenBytes) return RecordedPattern::Current;
    if (offsetBytes < record.unsureEndBytes) return RecordedPattern::Either;
    return record.previousKnown ? RecordedPattern::Previous : RecordedPattern::Unknown;
}

std::int64_t RoundEndOffset(std::int64_t driveSize) {
    // The loops stop after the block whose successor would reach the end.
    const std::int64_t block = kBlockBytes;
    if (driveSize <= 2 * block) return block;
    return (driveSize - block + block - 1) / block * block;
}
