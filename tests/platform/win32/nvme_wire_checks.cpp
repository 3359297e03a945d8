// The NVMe storage query records laid next to the SDK's own: same control
// code, property and protocol values, sizes and field offsets.
#include <windows.h>
#include <winioctl.h>

#include <cstddef>

#include "platform/nvme_wire.h"
#include "tests/platform/win32/check.h"

namespace nvme = platform::nvme;

#define PROTOCOL(ours, theirs)                                          \
    static_assert(offsetof(nvme::ProtocolSpecificData, ours) ==         \
                      offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, theirs), \
                  #ours)

static_assert(nvme::kQueryStorageProperty == IOCTL_STORAGE_QUERY_PROPERTY, "control code");
static_assert(nvme::kPropertyDeviceProtocolSpecific == StorageDeviceProtocolSpecificProperty,
              "device property");
static_assert(nvme::kPropertyAdapterProtocolSpecific == StorageAdapterProtocolSpecificProperty,
              "adapter property");
static_assert(nvme::kQueryStandard == PropertyStandardQuery, "query type");
static_assert(nvme::kProtocolTypeNvme == ProtocolTypeNvme, "protocol");
static_assert(nvme::kDataTypeIdentify == NVMeDataTypeIdentify, "identify data");
static_assert(nvme::kDataTypeLogPage == NVMeDataTypeLogPage, "log page data");
static_assert(sizeof(nvme::ProtocolSpecificData) == sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA),
              "protocol block size");
PROTOCOL(dataType, DataType);
PROTOCOL(requestValue, ProtocolDataRequestValue);
PROTOCOL(requestSubValue, ProtocolDataRequestSubValue);
PROTOCOL(dataOffset, ProtocolDataOffset);
PROTOCOL(dataLength, ProtocolDataLength);
PROTOCOL(fixedReturnData, FixedProtocolReturnData);
PROTOCOL(requestSubValue4, ProtocolDataRequestSubValue4);
static_assert(offsetof(nvme::StorageQuery, protocol) ==
                  offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters),
              "the protocol block follows the query header");
static_assert(sizeof(nvme::ProtocolDataDescriptor) == sizeof(STORAGE_PROTOCOL_DATA_DESCRIPTOR),
              "answer header size");
static_assert(offsetof(nvme::ProtocolDataDescriptor, protocol) ==
                  offsetof(STORAGE_PROTOCOL_DATA_DESCRIPTOR, ProtocolSpecificData),
              "answer protocol block");

CHECK_CASE(NvmeQueryRecordsMatchTheSdk) {
    // The comparisons are the static assertions above, compiled with the SDK.
    EXPECT_EQ(48u, static_cast<unsigned>(nvme::kQueryDataOffset));
}
