// The 512-byte pages a lab drive's controller answers with: IDENTIFY DEVICE and
// SMART READ DATA, built byte for byte for the drive's kind.
#pragma once

#include <cstdint>

#include "platform/lab/lab_controller.h"

namespace platform::lab {

/// Fills the IDENTIFY DEVICE page: texts in ATA word order, space padded, the
/// capacity, the SMART feature words (enabled or not) and the integrity word.
void BuildIdentifyPage(const BenchDrive& config, std::int64_t sizeBytes, bool smartEnabled,
                       unsigned char* page);

/// Fills the SMART READ DATA page with the attribute set and byte layout of the
/// drive's kind, from the controller's counters and `powerOnHours`.
void BuildSmartPage(const Controller& controller, std::uint64_t powerOnHours, unsigned char* page);

}  // namespace platform::lab
