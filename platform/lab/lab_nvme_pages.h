// The NVMe pages a lab drive of the nvme kind answers with: Identify
// Controller and Namespace, and the health, endurance group and datacenter
// logs, built from the controller's counters.
#pragma once

#include <cstdint>

#include "platform/lab/lab_controller.h"

namespace platform::lab {

/// Fills a 4096-byte Identify page for CNS `cns` (controller or namespace);
/// false for any other CNS.
bool BuildNvmeIdentify(const BenchDrive& config, std::int64_t sizeBytes, std::uint8_t cns,
                       std::uint8_t* page);
/// Fills a 512-byte log page; false for a log the drive does not offer (the
/// datacenter log without "datacenter_log", an endurance group other than 1).
bool BuildNvmeLog(const Controller& controller, std::uint64_t powerOnHours, std::uint8_t logId,
                  std::uint16_t specific, std::uint8_t* log);

}  // namespace platform::lab
