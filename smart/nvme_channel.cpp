// The NVMe channel over the platform's device control service.
#include "smart/nvme_channel.h"

#include <cstring>
#include <ostream>
#include <vector>

#include "platform/device_control.h"
#include "platform/nvme_wire.h"
#include "smart/trace_stream.h"

namespace {

namespace nvme = platform::nvme;

// Sends one storage query for `dataBytes` of protocol data and copies the data
// to `data`. The answer must carry the whole data.
bool Query(platform::DriveNumber driveNumber, std::uint32_t property, std::uint32_t dataType,
           std::uint32_t value, std::uint32_t subValue, std::uint32_t subValue4,
           std::uint32_t dataBytes, std::uint8_t* data, bool noteFailure = true) {
    std::vector<std::uint8_t> buffer(nvme::kQueryDataOffset + dataBytes, 0);
    nvme::StorageQuery query{};
    query.propertyId = property;
    query.queryType = nvme::kQueryStandard;
    query.protocol.protocolType = nvme::kProtocolTypeNvme;
    query.protocol.dataType = dataType;
    query.protocol.requestValue = value;
    query.protocol.requestSubValue = subValue;
    query.protocol.dataOffset = sizeof(nvme::ProtocolSpecificData);
    query.protocol.dataLength = dataBytes;
    query.protocol.requestSubValue4 = subValue4;
    std::memcpy(buffer.data(), &query, sizeof query);

    platform::ControlHandle* handle = platform::OpenControlHandle(driveNumber);
    if (handle == nullptr) {
        if (!noteFailure) return false;
        GetTraceStream() << "NVMe query: drive " << driveNumber << " cannot be opened" << std::endl;
        return false;
    }
    std::uint32_t returned = 0;
    const auto size = static_cast<std::uint32_t>(buffer.size());
    const bool ok = platform::DeviceControl(handle, nvme::kQueryStorageProperty, buffer.data(),
                                            size, buffer.data(), size, &returned);
    platform::CloseControlHandle(handle);
    nvme::ProtocolDataDescriptor answer{};
    if (ok && returned >= sizeof answer) std::memcpy(&answer, buffer.data(), sizeof answer);
    const std::uint32_t offset = offsetof(nvme::ProtocolDataDescriptor, protocol);
    if (!ok || returned < size || answer.protocol.dataLength < dataBytes ||
        answer.protocol.dataOffset + offset + dataBytes > size) {
        if (!noteFailure) return false;
        GetTraceStream() << "NVMe query: drive " << driveNumber << " did not answer data type "
                         << dataType << " value " << value << std::endl;
        return false;
    }
    std::memcpy(data, buffer.data() + offset + answer.protocol.dataOffset, dataBytes);
    return true;
}

std::uint64_t Field(const std::uint8_t* page, int offset, int bytes) {
    return nvme::LittleEndian(page + offset, bytes);
}

}  // namespace

bool IsNvmeDrive(platform::DriveNumber driveNumber) {
    std::vector<std::uint8_t> page(nvme::kIdentifyBytes);
    return Query(driveNumber, nvme::kPropertyAdapterProtocolSpecific, nvme::kDataTypeIdentify,
                 nvme::kCnsController, 0, 0, nvme::kIdentifyBytes, page.data(), false);
}

bool NvmeIdentify(platform::DriveNumber driveNumber, std::uint8_t cns, std::uint32_t nsid,
                  std::uint8_t* page) {
    // The controller's data comes from the adapter, the namespace's from the device.
    const std::uint32_t property = cns == nvme::kCnsController
                                       ? nvme::kPropertyAdapterProtocolSpecific
                                       : nvme::kPropertyDeviceProtocolSpecific;
    return Query(driveNumber, property, nvme::kDataTypeIdentify, cns, nsid, 0, nvme::kIdentifyBytes,
                 page);
}

bool NvmeReadLog(platform::DriveNumber driveNumber, std::uint8_t logId, std::uint16_t specific,
                 std::uint8_t* log, bool optional) {
    return Query(driveNumber, nvme::kPropertyDeviceProtocolSpecific, nvme::kDataTypeLogPage, logId,
                 0, specific, nvme::kLogBytes, log, !optional);
}

std::string NvmeText(const std::uint8_t* field, int width) {
    std::string text(reinterpret_cast<const char*>(field), static_cast<std::size_t>(width));
    const std::size_t end = text.find_last_not_of(std::string(" \0", 2));
    text.resize(end == std::string::npos ? 0 : end + 1);
    const std::size_t start = text.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : text.substr(start);
}

bool GetNvmeIdentity(platform::DriveNumber driveNumber, NvmeIdentity* identity) {
    std::vector<std::uint8_t> controller(nvme::kIdentifyBytes);
    std::vector<std::uint8_t> space(nvme::kIdentifyBytes);
    // Namespace 1 is the one the block device shows; the driver answers for it
    // whatever id the request names.
    if (!NvmeIdentify(driveNumber, nvme::kCnsController, 0, controller.data()) ||
        !NvmeIdentify(driveNumber, nvme::kCnsNamespace, 1, space.data()))
        return false;
    const int format = space[nvme::kNsFormattedLbaOffset] & 0x0F;
    const std::size_t shiftAt = static_cast<std::size_t>(nvme::kNsLbaFormatsOffset) +
                                static_cast<std::size_t>(format) * nvme::kNsLbaFormatBytes +
                                nvme::kLbaFormatDataShift;
    const int shift = space[shiftAt];
    if (shift < 9 || shift > 16) {
        GetTraceStream() << "NVMe identify: drive " << driveNumber << " block size 2^" << shift
                         << " not supported" << std::endl;
        return false;
    }
    identity->model = NvmeText(&controller[nvme::kCtrlModelOffset], nvme::kCtrlModelBytes);
    identity->serial = NvmeText(&controller[nvme::kCtrlSerialOffset], nvme::kCtrlSerialBytes);
    identity->firmware = NvmeText(&controller[nvme::kCtrlFirmwareOffset], nvme::kCtrlFirmwareBytes);
    identity->blockBytes = 1u << shift;
    identity->sizeBytes = Field(space.data(), nvme::kNsSizeOffset, 8) << shift;
    identity->enduranceGroup =
        static_cast<std::uint16_t>(Field(space.data(), nvme::kNsEnduranceGroupOffset, 2));
    const auto attributes =
        static_cast<std::uint32_t>(Field(controller.data(), nvme::kCtrlAttributesOffset, 4));
    if ((attributes & nvme::kCtrlAttributeEnduranceGroups) == 0) identity->enduranceGroup = 0;
    return true;
}
