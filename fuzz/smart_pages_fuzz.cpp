// SMART READ DATA pages decoded by both drive kinds, and IDENTIFY text fields
// cleaned as the channel cleans them: any 512 bytes are safe to decode.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "smart/smart_channel.h"
#include "smart/smart_data_block.h"
#include "status/ckvt_status.h"
#include "status/crzb_status.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint8_t page[platform::ata::kPageBytes] = {};
    std::memcpy(page, data, size < sizeof(page) ? size : sizeof(page));
    SmartDataBlock block;
    block.Build(page);
    CKVTStatus kvt;
    kvt.InitFromSmartData(block);
    kvt.UpdateFromSmartData(block);
    CRZBStatus rzb;
    rzb.InitFromSmartData(block);
    rzb.UpdateFromSmartData(block);

    // An IDENTIFY text field of the input's own length (the page's are 8 to 40).
    std::vector<char> field(data, data + size);
    if (!field.empty()) FixAtaString(field.data(), static_cast<int>(field.size()));
    return 0;
}
