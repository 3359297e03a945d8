// What the controller remembers of each block of a lab drive, and its compact
// text form in the state file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::lab {

/// One block's history since it was last written.
struct BlockRecord {
    std::uint32_t generation = 0;     ///< writes of the block so far; 0: never written
    std::uint32_t writtenMinute = 0;  ///< drive clock (minutes) of the last write
    std::uint32_t reads = 0;          ///< reads of the block since that write
    std::uint32_t replacements = 0;   ///< retirements: the flash behind it was swapped

    bool operator==(const BlockRecord& other) const {
        return generation == other.generation && writtenMinute == other.writtenMinute &&
               reads == other.reads && replacements == other.replacements;
    }
};

/// The records as runs of equal neighbours: "count*generation,minute,reads,replacements"
/// separated by blanks. A drive written round after round needs a few runs.
std::string EncodeBlocks(const std::vector<BlockRecord>& blocks);

/// Parses EncodeBlocks text into *blocks. False (and *blocks untouched) when
/// the text is not in that form or holds more than maxBlocks records.
bool DecodeBlocks(const std::string& text, std::size_t maxBlocks, std::vector<BlockRecord>* blocks);

}  // namespace platform::lab
