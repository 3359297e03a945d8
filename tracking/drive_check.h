// Ties the test context to the drive's SMART status.
#pragma once

#include <cstdint>

#include "engine/test_context.h"
#include "platform/drive_number.h"

class CSSDSmart;

/// Finds the context's drive in the registry, requires the supported SATA kind
/// or an NVMe drive and loads its status into both snapshots and the drive's
/// identity (number, path, IDENTIFY texts, size) into the context; for an NVMe
/// drive prints and notes where its erase count comes from. Throws "Drive Not
/// Found" or "Drive Not KVT".
void CheckDrive(CSSDTest& test);
/// The same against a given registry (the process's is GetSSDSmart()).
void CheckDrive(CSSDTest& test, const CSSDSmart& registry);

/// Moves currentStatus into previousStatus, refreshes currentStatus, updates
/// calculatedRber (from RateErrorBits with `totals`) and returns whether a tracked counter changed.
/// A refresh that fails keeps the old counters; the first one prints "SMART Read Failed: drive <N>
/// (<model>) did not answer SMART READ DATA" ("the NVMe health log" for an NVMe drive). A success
/// sets lastRefreshAnswered, a failure clears it.
bool UpdateDriveStatus(StatusTrack& track, const VerificationTotals& totals,
                       platform::DriveNumber driveNumber);

/// True when any wear or failure counter followed during a test (the three
/// erase counts, raw read error rate, program/erase/read failure block counts,
/// bad block full flag) differs between the two snapshots.
bool TrackedCountersDiffer(const CKVTStatus& previous, const CKVTStatus& current);
/// The same for records of any family: for NVMe the erase counts, critical
/// warning, available spare, percentage used, media errors and the
/// datacenter log's bad blocks and uncorrectable errors. Records of different
/// kinds always differ.
bool TrackedCountersDiffer(const CSSDStatus& previous, const CSSDStatus& current);

/// The error bits the bit error rates count: the drive's flash error bits
/// where it reports them, else the bit errors this tool found (host-visible).
std::uint64_t RateErrorBits(const CSSDStatus& status, const VerificationTotals& totals);

/// Flash error bits per bit read: errorBits / (readSectors x 4096), the
/// counters converted as unsigned values; NaN or +inf when readSectors is 0.
double RawBitErrorRate(std::uint64_t errorBits, std::uint64_t readSectors);
