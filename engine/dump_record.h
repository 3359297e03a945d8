// The dump record: a small side file next to the dump files saying how far the
// last normal test got in writing the pattern of dump file 1, so a read-only
// test knows which of the two patterns each block of the drive should hold,
// whatever ended that test (a key, a failure, a signal, a crash).
#pragma once

#include <cstdint>
#include <string>

#include "engine/test_context.h"

struct DumpRecord {
    std::string currentId;            ///< PatternId of dump file 1's pattern
    std::string previousId;           ///< PatternId of dump file 2's pattern
    bool previousKnown = false;       ///< blocks not yet written hold dump file 2's pattern
    std::int64_t writtenBytes = 0;    ///< blocks below this hold dump file 1's pattern
    std::int64_t unsureEndBytes = 0;  ///< blocks from writtenBytes up to here hold either
};

/// Which pattern a block should hold according to a record.
enum class RecordedPattern { Current, Either, Previous, Unknown };

/// Path of the drive's dump record, next to its dump files.
std::wstring DumpRecordName(const CSSDTest& test);

/// A short text identifying a 1 MiB pattern (a hash of its words, in hex).
std::string PatternId(const std::uint8_t* pattern);

/// Replaces the record file through a temporary name and a rename. Returns an
/// empty text on success, else the system's reason.
std::string SaveDumpRecord(const CSSDTest& test, const DumpRecord& record);

/// Reads one 1 MiB pattern file; false when it is missing or short.
bool ReadPatternFile(const std::wstring& path, std::uint8_t* pattern);

/// Reads the record and dump file 2 (into `previous`). True only when both
/// were read and the record describes `current` (dump file 1's pattern) and
/// dump file 2.
bool LoadDumpRecord(const CSSDTest& test, const std::uint8_t* current, std::uint8_t* previous,
                    DumpRecord* record);

/// What the block at `offsetBytes` should hold according to a record.
RecordedPattern ExpectedAt(const DumpRecord& record, std::int64_t offsetBytes);

/// Offset at which a whole round over a drive of `driveSize` bytes ends.
std::int64_t RoundEndOffset(std::int64_t driveSize);
