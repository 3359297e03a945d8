// Status rows of both drive kinds as read back from a log: any text either
// parses or is refused, and a parsed row writes back as a row that parses.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "status/ckvt_status.h"
#include "status/crzb_status.h"

namespace {

template <typename Status>
void ReadRow(const std::string& row) {
    Status status;
    try {
        if (!status.ReadFromCSV(row)) return;
    } catch (const std::exception&) {
        return;  // a token that does not convert
    }
    Status again;
    if (!again.ReadFromCSV(status.GetCSVRow())) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string row(reinterpret_cast<const char*>(data), size);
    ReadRow<CKVTStatus>(row);
    ReadRow<CRZBStatus>(row);
    return 0;
}
