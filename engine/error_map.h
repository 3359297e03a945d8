// Where on the drive the bit errors were: per round the blocks that the
// verification found bit errors or failed sectors in, appended at the
// round's end to a CSV file beside the result log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// One block of 1 MiB that had errors in the round.
struct MappedBlock {
    std::int64_t offsetMib = 0;
    std::uint64_t bitErrors = 0;
    std::uint64_t failedSectors = 0;
};

/// The error map of the round in progress. Bounded: the first
/// kListedBlocks blocks with errors are listed, the rest only counted.
class ErrorMap {
public:
    static constexpr std::size_t kListedBlocks = 10000;
    /// Column line of the file.
    static const char* const kHeader;

    /// Notes one verified block: its offset and the errors found in it.
    void Note(std::int64_t offsetBytes, std::uint64_t bitErrors, std::uint64_t failedSectors);

    /// Marks the rounds that follow as read-only passes.
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }

    /// True when the round verified at least one block.
    bool HasRound() const { return verifiedEndBytes_ > 0; }

    /// The round's lines (the listed blocks, the rest, the round line) in the
    /// file's format, LF-terminated; the map then starts the next round.
    /// `complete`: the round reached the end of the drive.
    std::string TakeRound(std::uint32_t round, const std::string& timeUtc,
                          std::int64_t averageEraseCount, bool complete);

private:
    std::vector<MappedBlock> listed_;
    MappedBlock rest_;  // the blocks beyond the listed ones, summed
    std::uint64_t restBlocks_ = 0;
    std::int64_t restFirstMib_ = -1;
    std::int64_t verifiedEndBytes_ = 0;
    bool readOnly_ = false;
};

/// The error map's file for a result log: drive1_M.csv -> drive1_M.errors.csv.
std::wstring ErrorMapPath(const std::wstring& resultLogPath);

/// The number of the last round in the error map file's text (its last
/// complete line), 0 when it has none.
std::uint32_t LastMappedRound(const std::string& tail);

/// Appends the round held by `map` to the file at `path` (with the column
/// line when the file is new), numbering it after the file's last round.
/// Returns "" on success, else the reason it could not be written.
std::string AppendErrorMapRound(ErrorMap& map, const std::wstring& path, const std::string& timeUtc,
                                std::int64_t averageEraseCount, bool complete);
