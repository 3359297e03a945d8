// The unit of every transfer and of the loops' batches.
#pragma once

#include <cstdint>

constexpr std::uint32_t kBlockBytes = 1048576;  ///< one block: one transfer, one pattern
constexpr std::uint32_t kBatchBlocks = 1024;    ///< blocks written, then read, per batch
