// Translation of the NVMe storage queries (platform/nvme_wire.h: Identify and
// Get Log Page in their Windows form) to the Linux NVMe admin pass-through
// block and back. Pure functions: no device is touched here.
#pragma once

#include <cstdint>

#include "platform/nvme_wire.h"

namespace platform::posix {

/// Builds the admin command for a storage query of `inputSize` bytes whose
/// answer must fit `outputSize` bytes. `namespaceId` is the namespace of the
/// device the query goes to (0 when unknown: 1 is taken). The data address
/// is left 0 for the caller. False for a query that is not an NVMe Identify
/// (controller or namespace) or Get Log Page, or whose buffers are too small.
bool BuildNvmeAdminCommand(const void* input, std::uint32_t inputSize, std::uint32_t outputSize,
                           std::uint32_t namespaceId, nvme::AdminCommand* command);

/// Writes the answer of a completed command into `output`: the protocol data
/// descriptor (the query's block with the data length) and the `dataBytes`
/// bytes of `data`. Returns the byte count the answer holds.
std::uint32_t BuildNvmeAnswer(const void* input, const std::uint8_t* data, std::uint32_t dataBytes,
                              void* output);

}  // namespace platform::posix
