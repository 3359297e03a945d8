// The dump record: a small side file next to the dump files saying how far the
// last normal test got in writing the pattern of dump file 1, so a read-only
// test knows which of the two patterns each block of the drive should hold,
// whatever ended that test (a key, a failure, a signal, a crash).
#pragma once

#include <cstdint>
#include <string>

#include "disks/drive_identity.h"
#include "engine/test_context.h"

struct DumpRecord {
    std::string currentId;            ///< PatternId of dump file 1's pattern
    std::string previousId;           ///< PatternId of dump file 2's pattern
    bool previousKnown = false;       ///< blocks not yet written hold dump file 2's pattern
    std::int64_t writtenBytes = 0;    ///< blocks below this hold dump file 1's pattern
    std::int64_t unsureEndBytes = 0;  ///< blocks from writtenBytes up to here hold either
    /// The drive the record was written on (model, serial, firmware, size);
    /// identified is false for a record of an older version, which has none.
    DriveIdentity drive{};
    bool identified = false;
};

/// Which pattern a block should hold according to a record.
enum class RecordedPattern { Current, Either, Previous, Unknown };

/// Path of the drive's dump record, next to its dump files.
std::wstring DumpRecordName(const RunSettings& settings);

/// A short text identifying a 1 MiB pattern (a hash of its words, in hex).
std::string PatternId(const std::uint8_t* pattern);

/// Replaces the record file through a temporary name and a rename, with the
/// context's drive identity and a checksum of the record's own content.
/// Returns an empty text on success, else the system's reason.
std::string SaveDumpRecord(const RunSettings& settings, const DumpRecord& record);

/// The record's file text: identity, progress and checksum.
std::string DumpRecordText(const DriveIdentity& drive, const DumpRecord& record);

/// Parses a record's file text. False with the reason in *rejection when it is
/// not a record, a field is missing or malformed, or its checksum does not
/// match; a record of the older version without identity or checksum passes.
bool ParseDumpRecord(const std::string& text, DumpRecord* record, std::string* rejection);

/// Reads one 1 MiB pattern file; false when it is missing or short.
bool ReadPatternFile(const std::wstring& path, std::uint8_t* pattern);

/// Reads the record and dump file 2 (into `previous`). True only when both
/// were read and the record describes `current` (dump file 1's pattern) and
/// dump file 2. When a record exists but is rejected, *rejection (if given)
/// gets one line naming the rejected file and why; else it is left empty.
bool LoadDumpRecord(const RunSettings& settings, const std::uint8_t* current,
                    std::uint8_t* previous, DumpRecord* record, std::wstring* rejection = nullptr);

/// Refuses a test whose drive is not the one the drive number's record was
/// written on (another serial, model or size): throws DriveRefusal("Drive Not
/// Found") with a line naming both serials and what to do. A missing,
/// unreadable or older record without identity, or a drive that did not give
/// its serial, passes.
void CheckRecordBelongsToDrive(const RunSettings& settings);

/// What the block at `offsetBytes` should hold according to a record.
RecordedPattern ExpectedAt(const DumpRecord& record, std::int64_t offsetBytes);

/// Offset at which a whole round over a drive of `driveSize` bytes ends.
std::int64_t RoundEndOffset(std::int64_t driveSize);
