#include "engine/dump_record.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "engine/drive_refusal.h"
#include "engine/pattern.h"
#include "engine/replace_file.h"
#include "engine/run_folders.h"
#include "platform/process.h"
#include "smart/process_utils.h"
#include "text/printable_text.h"

namespace {

// Version 1 records carry only the progress; version 2 adds the drive and a
// checksum line over everything before it.
constexpr const char* kFirstLineV1 = "ssdtest dump record 1";
constexpr const char* kFirstLineV2 = "ssdtest dump record 2";
constexpr const char* kChecksumKey = "checksum ";

// FNV-1a, 64 bits, as 16 hex digits.
std::string Fnv1aHex(const char* bytes, std::size_t length) {
    std::uint64_t hash = 14695981039346656037ull;
    for (std::size_t i = 0; i < length; ++i)
        hash = (hash ^ static_cast<unsigned char>(bytes[i])) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

// Reads "<key> <rest of line>" into *value; the rest may hold blanks.
bool ReadTextField(std::istream& in, const std::string& key, std::string* value) {
    std::string line;
    if (!std::getline(in, line) || line.compare(0, key.size() + 1, key + " ") != 0) return false;
    *value = line.substr(key.size() + 1);
    return true;
}

template <typename Number>
bool ReadNumberField(std::istream& in, const std::string& key, Number* value) {
    std::string text;
    if (!ReadTextField(in, key, &text)) return false;
    std::istringstream field(text);
    return static_cast<bool>(field >> *value) && field.peek() == std::char_traits<char>::eof();
}

bool ReadProgress(std::istream& in, DumpRecord* read, std::string* rejection) {
    int known = -1;
    if (!ReadTextField(in, "current", &read->currentId) ||
        !ReadTextField(in, "previous", &read->previousId) ||
        !ReadNumberField(in, "previous_known", &known) || (known != 0 && known != 1) ||
        !ReadNumberField(in, "written_bytes", &read->writtenBytes) ||
        !ReadNumberField(in, "unsure_end_bytes", &read->unsureEndBytes)) {
        *rejection = "a field is missing or malformed";
        return false;
    }
    read->previousKnown = known == 1;
    if (read->writtenBytes < 0 || read->unsureEndBytes < read->writtenBytes) {
        *rejection = "its offsets contradict each other";
        return false;
    }
    return true;
}

// One line naming the drive's serial for the operator.
std::string SerialText(const std::string& serial) {
    return serial.empty() ? "no serial" : "serial '" + PrintableText(serial) + "'";
}

}  // namespace

std::wstring DumpRecordName(const RunSettings& settings) {
    return platform::JoinPath(
        FilesFolder(settings),
        L"drive" + std::to_wstring(settings.driveNumber) + L"_DumpRecord.txt");
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

std::string DumpRecordText(const DriveIdentity& drive, const DumpRecord& record) {
    std::ostringstream text;
    // The identity texts are single lines of printable ASCII.
    text << kFirstLineV2 << "\n"
         << "drive_model " << PrintableText(drive.model) << "\n"
         << "drive_serial " << PrintableText(drive.serial) << "\n"
         << "drive_firmware " << PrintableText(drive.firmware) << "\n"
         << "drive_size_bytes " << drive.sizeBytes << "\n"
         << "current " << record.currentId << "\n"
         << "previous " << record.previousId << "\n"
         << "previous_known " << (record.previousKnown ? 1 : 0) << "\n"
         << "written_bytes " << record.writtenBytes << "\n"
         << "unsure_end_bytes " << record.unsureEndBytes << "\n";
    const std::string content = text.str();
    return content + kChecksumKey + Fnv1aHex(content.data(), content.size()) + "\n";
}

std::string SaveDumpRecord(const RunSettings& settings, const DumpRecord& record) {
    const std::string content = DumpRecordText(settings.identity, record);
    return ReplaceFileContents(DumpRecordName(settings), content.data(), content.size());
}

bool ParseDumpRecord(const std::string& text, DumpRecord* record, std::string* rejection) {
    std::istringstream in(text);
    std::string first;
    std::getline(in, first);
    DumpRecord read;
    if (first == kFirstLineV1) {
        if (!ReadProgress(in, &read, rejection)) return false;
        *record = read;
        return true;
    }
    if (first != kFirstLineV2) {
        *rejection = "not a dump record of this tool";
        return false;
    }
    const std::size_t checksumAt = text.rfind(std::string("\n") + kChecksumKey);
    if (checksumAt == std::string::npos) {
        *rejection = "its checksum line is missing";
        return false;
    }
    const std::size_t contentBytes = checksumAt + 1;
    const std::string stored = text.substr(contentBytes + std::strlen(kChecksumKey));
    if (stored != Fnv1aHex(text.data(), contentBytes) + "\n") {
        *rejection = "its checksum does not match its content";
        return false;
    }
    if (!ReadTextField(in, "drive_model", &read.drive.model) ||
        !ReadTextField(in, "drive_serial", &read.drive.serial) ||
        !ReadTextField(in, "drive_firmware", &read.drive.firmware) ||
        !ReadNumberField(in, "drive_size_bytes", &read.drive.sizeBytes)) {
        *rejection = "a field is missing or malformed";
        return false;
    }
    if (!ReadProgress(in, &read, rejection)) return false;
    read.identified = true;
    *record = read;
    return true;
}

bool ReadPatternFile(const std::wstring& path, std::uint8_t* pattern) {
    std::ifstream in(platform::FilePath(path), std::ios::binary);
    in.read(reinterpret_cast<char*>(pattern), kBlockBytes);
    return in.gcount() == static_cast<std::streamsize>(kBlockBytes);
}

bool LoadDumpRecord(const RunSettings& settings, const std::uint8_t* current,
                    std::uint8_t* previous, DumpRecord* record, std::wstring* rejection) {
    if (rejection != nullptr) rejection->clear();
    const std::wstring name = DumpRecordName(settings);
    std::ifstream in(platform::FilePath(name), std::ios::binary);
    if (!in.is_open()) return false;  // no record: nothing to reject
    std::ostringstream content;
    content << in.rdbuf();
    DumpRecord read;
    std::string reason;
    std::wstring rejected = name;
    std::wstring what = L"Dump Record Rejected: ";
    if (ParseDumpRecord(content.str(), &read, &reason)) {
        what = L"Dump File Rejected: ";
        rejected = DumpFileName(2, settings);
        if (!ReadPatternFile(rejected, previous))
            reason = "missing or shorter than one block";
        else if (read.currentId != PatternId(current))
            rejected = DumpFileName(1, settings), reason = "it is not the pattern the record names";
        else if (read.previousId != PatternId(previous))
            reason = "it is not the pattern the record names";
    }
    if (reason.empty()) {
        *record = read;
        return true;
    }
    if (rejection != nullptr) *rejection = what + rejected + L": " + ToWide(reason);
    return false;
}

void CheckRecordBelongsToDrive(const RunSettings& settings) {
    const DriveIdentity& drive = settings.identity;
    if (drive.serial.empty()) return;
    std::ifstream in(platform::FilePath(DumpRecordName(settings)), std::ios::binary);
    if (!in.is_open()) return;
    std::ostringstream content;
    content << in.rdbuf();
    DumpRecord record;
    std::string ignored;
    if (!ParseDumpRecord(content.str(), &record, &ignored) || !record.identified) return;
    const DriveIdentity& recorded = record.drive;
    const bool sizesDiffer =
        recorded.sizeBytes != 0 && drive.sizeBytes != 0 && recorded.sizeBytes != drive.sizeBytes;
    if (recorded.serial == PrintableText(drive.serial) &&
        recorded.model == PrintableText(drive.model) && !sizesDiffer)
        return;
    throw DriveRefusal("Drive Not Found",
                       "Drive " + std::to_string(drive.number) + " has " +
                           SerialText(drive.serial) + " but its files (" +
                           ToNarrow(DumpRecordName(settings)) + ") belong to the drive with " +
                           SerialText(recorded.serial) +
                           ": move those files away to test this drive, or choose the other drive");
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
