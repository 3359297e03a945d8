// The NVMe storage queries as Linux admin commands, and their answers.
#include "platform/posix/drive/nvme_translate.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace nvme = platform::nvme;
using platform::posix::BuildNvmeAdminCommand;
using platform::posix::BuildNvmeAnswer;

namespace {

std::vector<std::uint8_t> Query(std::uint32_t dataType, std::uint32_t value,
                                std::uint32_t subValue4, std::uint32_t dataBytes) {
    std::vector<std::uint8_t> buffer(nvme::kQueryDataOffset + dataBytes, 0);
    nvme::StorageQuery query{};
    query.protocol.protocolType = nvme::kProtocolTypeNvme;
    query.protocol.dataType = dataType;
    query.protocol.requestValue = value;
    query.protocol.dataOffset = sizeof(nvme::ProtocolSpecificData);
    query.protocol.dataLength = dataBytes;
    query.protocol.requestSubValue4 = subValue4;
    std::memcpy(buffer.data(), &query, sizeof query);
    return buffer;
}

}  // namespace

TEST(NvmeTranslate, IdentifyAndLogPagesBecomeAdminCommands) {
    nvme::AdminCommand command{};
    auto identify = Query(nvme::kDataTypeIdentify, nvme::kCnsNamespace, 0, 4096);
    const auto size = static_cast<std::uint32_t>(identify.size());
    ASSERT_TRUE(BuildNvmeAdminCommand(identify.data(), size, size, 3, &command));
    EXPECT_EQ(nvme::kOpcodeIdentify, command.opcode);
    EXPECT_EQ(3u, command.nsid);  // the node's own namespace
    EXPECT_EQ(0u, command.cdw10);
    EXPECT_EQ(4096u, command.dataLength);

    auto group = Query(nvme::kDataTypeLogPage, nvme::kLogEnduranceGroup, 2, 512);
    const auto logSize = static_cast<std::uint32_t>(group.size());
    ASSERT_TRUE(BuildNvmeAdminCommand(group.data(), logSize, logSize, 1, &command));
    EXPECT_EQ(nvme::kOpcodeGetLogPage, command.opcode);
    EXPECT_EQ(nvme::kNamespaceAll, command.nsid);
    EXPECT_EQ(0x007F0009u, command.cdw10);  // 128 dwords less one, log 09h
    EXPECT_EQ(0x00020000u, command.cdw11);  // endurance group 2
    EXPECT_EQ(512u, command.dataLength);

    // The answer: the descriptor, then the data, in the query's own buffer.
    std::vector<std::uint8_t> data(512, 0xA5);
    EXPECT_EQ(logSize, BuildNvmeAnswer(group.data(), data.data(), 512, group.data()));
    nvme::ProtocolDataDescriptor answer{};
    std::memcpy(&answer, group.data(), sizeof answer);
    EXPECT_EQ(512u, answer.protocol.dataLength);
    EXPECT_EQ(0xA5, group[nvme::kQueryDataOffset + 511]);
}

TEST(NvmeTranslate, RefusesOtherQueriesAndShortBuffers) {
    nvme::AdminCommand command{};
    auto other = Query(nvme::kDataTypeIdentify, 0x10, 0, 4096);  // a namespace list
    auto size = static_cast<std::uint32_t>(other.size());
    EXPECT_FALSE(BuildNvmeAdminCommand(other.data(), size, size, 1, &command));
    auto log = Query(nvme::kDataTypeLogPage, nvme::kLogHealth, 0, 512);
    size = static_cast<std::uint32_t>(log.size());
    EXPECT_FALSE(BuildNvmeAdminCommand(log.data(), size, size - 1, 1, &command));
    EXPECT_FALSE(BuildNvmeAdminCommand(log.data(), 40, size, 1, &command));
    log[12] = 9;  // not an NVMe data type
    EXPECT_FALSE(BuildNvmeAdminCommand(log.data(), size, size, 1, &command));
}
