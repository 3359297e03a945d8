// Test pattern generation, block verification and the dump files that hand
// the last patterns of a normal test to later read-only tests.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "engine/test_context.h"

/// Fills the block's 262144 words with the context's next pattern draws.
void FillPattern(PatternSource& source, std::uint32_t* buffer);

/// (bit errors, error sectors) of one block against its pattern.
using BlockErrors = std::pair<std::uint32_t, std::uint32_t>;

/// The bit errors and error sectors between a block and its pattern.
BlockErrors CountBitErrors(const std::uint8_t* data, const std::uint8_t* pattern);

/// Compares a block with its pattern; on a difference prints "Verify : <bits>
/// <sectors>" and adds both to the context's totals. Returns what it found.
BlockErrors VerifyBlock(VerificationTotals& totals, const std::uint8_t* data,
                        const std::uint8_t* pattern);

/// VerifyBlock, then zero-fills the data block, in one sweep over it (so a
/// later transfer that leaves the buffer untouched cannot pass as intact).
BlockErrors VerifyAndClearBlock(VerificationTotals& totals, std::uint8_t* data,
                                const std::uint8_t* pattern);

/// Path of dump file k (1 or 2) of the context's drive.
std::wstring DumpFileName(int k, const RunSettings& settings);

/// Writes dump file 1 from the current pattern and dump file 2 from the
/// previous one, each to a temporary name renamed into place. A file that
/// cannot be written gets one console line saying which and why; true when
/// both were written.
bool WriteDumpFiles(const RunSettings& settings, const std::uint8_t* currentPattern,
                    const std::uint8_t* previousPattern);

/// Loads dump file 1. Throws "Dump File Open Failed:<errno>" or
/// "Dump File Read Failed:<bytes read>".
void ReadDumpFile(const RunSettings& settings, std::uint8_t* buffer);
