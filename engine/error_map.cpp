#include "engine/error_map.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/process.h"

namespace {

constexpr std::int64_t kMib = 1048576;
constexpr std::streamoff kTailBytes = 4096;

void Line(std::ostringstream& out, std::uint32_t round, const std::string& time, std::int64_t aec,
          const char* kind, std::int64_t offsetMib, std::uint64_t blocks, std::uint64_t bits,
          std::uint64_t sectors) {
    out << round << ',' << time << ',' << aec << ',' << kind << ',' << offsetMib << ',' << blocks
        << ',' << bits << ',' << sectors << '\n';
}

}  // namespace

const char* const ErrorMap::kHeader =
    "round,time,average_erase_count,kind,offset_mib,blocks,bit_errors,failed_sectors";

void ErrorMap::Note(std::int64_t offsetBytes, std::uint64_t bitErrors,
                    std::uint64_t failedSectors) {
    if (offsetBytes + kMib > verifiedEndBytes_) verifiedEndBytes_ = offsetBytes + kMib;
    if (bitErrors == 0 && failedSectors == 0) return;
    const std::int64_t mib = offsetBytes / kMib;
    if (listed_.size() < kListedBlocks) {
        listed_.push_back({mib, bitErrors, failedSectors});
        return;
    }
    if (restBlocks_++ == 0) restFirstMib_ = mib;
    rest_.bitErrors += bitErrors;
    rest_.failedSectors += failedSectors;
}

std::string ErrorMap::TakeRound(std::uint32_t round, const std::string& timeUtc,
                                std::int64_t averageEraseCount, bool complete) {
    std::ostringstream out;
    MappedBlock total = rest_;
    for (const MappedBlock& block : listed_) {
        Line(out, round, timeUtc, averageEraseCount, "block", block.offsetMib, 1, block.bitErrors,
             block.failedSectors);
        total.bitErrors += block.bitErrors;
        total.failedSectors += block.failedSectors;
    }
    if (restBlocks_ > 0)
        Line(out, round, timeUtc, averageEraseCount, "rest", restFirstMib_, restBlocks_,
             rest_.bitErrors, rest_.failedSectors);
    // The round line: how far the round verified (MiB) and its totals.
    const char* kind = readOnly_ ? "read-only" : complete ? "round end" : "abandoned";
    Line(out, round, timeUtc, averageEraseCount, kind, verifiedEndBytes_ / kMib,
         listed_.size() + restBlocks_, total.bitErrors, total.failedSectors);
    const bool readOnly = readOnly_;
    *this = ErrorMap();
    readOnly_ = readOnly;
    return out.str();
}

std::wstring ErrorMapPath(const std::wstring& resultLogPath) {
    const std::wstring suffix = L".csv";
    const bool csv =
        resultLogPath.size() >= suffix.size() &&
        resultLogPath.compare(resultLogPath.size() - suffix.size(), suffix.size(), suffix) == 0;
    return (csv ? resultLogPath.substr(0, resultLogPath.size() - suffix.size()) : resultLogPath) +
           L".errors.csv";
}

std::uint32_t LastMappedRound(const std::string& tail) {
    const std::size_t end = tail.find_last_of('\n');
    if (end == std::string::npos) return 0;
    const std::size_t previous = end == 0 ? std::string::npos : tail.find_last_of('\n', end - 1);
    const std::size_t begin = previous == std::string::npos ? 0 : previous + 1;
    std::uint32_t round = 0;
    std::istringstream in(tail.substr(begin, end - begin));
    return (in >> round) ? round : 0;
}

std::string AppendErrorMapRound(ErrorMap& map, const std::wstring& path, const std::string& timeUtc,
                                std::int64_t averageEraseCount, bool complete) {
    const auto file = platform::FilePath(path);
    std::string tail;
    {
        std::ifstream in(file, std::ios::binary | std::ios::ate);
        if (in) {
            const std::streamoff size = in.tellg();
            in.seekg(size > kTailBytes ? size - kTailBytes : 0);
            tail.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    const std::string lines =
        map.TakeRound(LastMappedRound(tail) + 1, timeUtc, averageEraseCount, complete);
    std::ofstream out(file, std::ios::binary | std::ios::app);
    if (!out) return std::strerror(errno);
    // A torn last line (a crash while appending) is closed before the round.
    if (!tail.empty() && tail.back() != '\n') out << '\n';
    if (tail.empty()) out << ErrorMap::kHeader << '\n';
    out << lines;
    out.flush();
    return out ? "" : std::strerror(errno);
}
