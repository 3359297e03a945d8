#include "platform/lab/lab_block_table.h"

#include <sstream>

namespace platform::lab {

std::string EncodeBlocks(const std::vector<BlockRecord>& blocks) {
    std::ostringstream out;
    for (std::size_t i = 0; i < blocks.size();) {
        std::size_t end = i + 1;
        while (end < blocks.size() && blocks[end] == blocks[i]) ++end;
        const BlockRecord& block = blocks[i];
        if (i > 0) out << ' ';
        out << end - i << '*' << block.generation << ',' << block.writtenMinute << ','
            << block.reads << ',' << block.replacements;
        i = end;
    }
    return out.str();
}

bool DecodeBlocks(const std::string& text, std::size_t maxBlocks,
                  std::vector<BlockRecord>* blocks) {
    std::istringstream in(text);
    std::vector<BlockRecord> decoded;
    std::string run;
    while (in >> run) {
        std::istringstream fields(run);
        unsigned long long count = 0, generation = 0, minute = 0, reads = 0, replacements = 0;
        char star = 0, c1 = 0, c2 = 0, c3 = 0;
        if (!(fields >> count >> star >> generation >> c1 >> minute >> c2 >> reads >> c3 >>
              replacements) ||
            star != '*' || c1 != ',' || c2 != ',' || c3 != ',' || fields.peek() != EOF)
            return false;
        if (count == 0 || count > maxBlocks - decoded.size() || generation > UINT32_MAX ||
            minute > UINT32_MAX || reads > UINT32_MAX || replacements > UINT32_MAX)
            return false;
        const BlockRecord block{
            static_cast<std::uint32_t>(generation), static_cast<std::uint32_t>(minute),
            static_cast<std::uint32_t>(reads), static_cast<std::uint32_t>(replacements)};
        decoded.insert(decoded.end(), static_cast<std::size_t>(count), block);
    }
    *blocks = std::move(decoded);
    return true;
}

}  // namespace platform::lab
