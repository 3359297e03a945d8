#include "platform/posix/drive/nvme_translate.h"

#include <cstring>

namespace platform::posix {

namespace {

// Admin commands of a healthy drive finish within milliseconds; a hung one
// must not hold the test.
constexpr std::uint32_t kAdminTimeoutMs = 15000;

}  // namespace

bool BuildNvmeAdminCommand(const void* input, std::uint32_t inputSize, std::uint32_t outputSize,
                           std::uint32_t namespaceId, nvme::AdminCommand* command) {
    nvme::StorageQuery query{};
    if (input == nullptr || inputSize < sizeof query) return false;
    std::memcpy(&query, input, sizeof query);
    const nvme::ProtocolSpecificData& asked = query.protocol;
    if (asked.protocolType != nvme::kProtocolTypeNvme ||
        asked.dataOffset != sizeof(nvme::ProtocolSpecificData))
        return false;
    *command = nvme::AdminCommand{};
    command->timeoutMs = kAdminTimeoutMs;
    if (asked.dataType == nvme::kDataTypeIdentify) {
        if (asked.requestValue != nvme::kCnsController && asked.requestValue != nvme::kCnsNamespace)
            return false;
        command->opcode = nvme::kOpcodeIdentify;
        command->dataLength = nvme::kIdentifyBytes;
        command->cdw10 = asked.requestValue;
        if (asked.requestValue == nvme::kCnsNamespace)
            command->nsid = namespaceId != 0 ? namespaceId : 1;
    } else if (asked.dataType == nvme::kDataTypeLogPage) {
        if (asked.requestValue > 0xFF || asked.dataLength == 0 || asked.dataLength % 4 != 0 ||
            asked.dataLength > 0x10000)
            return false;
        command->opcode = nvme::kOpcodeGetLogPage;
        command->nsid = nvme::kNamespaceAll;
        command->dataLength = asked.dataLength;
        command->cdw10 =
            nvme::LogPageDword10(static_cast<std::uint8_t>(asked.requestValue), asked.dataLength);
        // The log specific identifier (the endurance group of log 09h) sits
        // in the upper half of dword 11.
        command->cdw11 =
            nvme::LogPageDword11(asked.dataLength) | ((asked.requestSubValue4 & 0xFFFFu) << 16);
        command->cdw12 = asked.requestSubValue;  // offset, low and high dwords
        command->cdw13 = asked.requestSubValue2;
    } else {
        return false;
    }
    return asked.dataLength >= command->dataLength &&
           inputSize >= nvme::kQueryDataOffset + command->dataLength &&
           outputSize >= nvme::kQueryDataOffset + command->dataLength;
}

std::uint32_t BuildNvmeAnswer(const void* input, const std::uint8_t* data, std::uint32_t dataBytes,
                              void* output) {
    nvme::StorageQuery query{};
    std::memcpy(&query, input, sizeof query);
    nvme::ProtocolDataDescriptor answer{};
    answer.version = sizeof answer;
    answer.size = sizeof answer;
    answer.protocol = query.protocol;
    answer.protocol.dataLength = dataBytes;
    auto* out = static_cast<std::uint8_t*>(output);
    std::memmove(out + nvme::kQueryDataOffset, data, dataBytes);
    std::memcpy(out, &answer, sizeof answer);
    return nvme::kQueryDataOffset + dataBytes;
}

}  // namespace platform::posix
