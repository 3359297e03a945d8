// Opening and closing the drive of a test context, behind the disk guard.
#pragma once

#include <cstdint>

#include "engine/context_roles.h"

/// Refuses a drive that holds data or is in use (a partition table, a file
/// system or other signature, partitions, holders, a mount, another process,
/// read-only) before anything of the test is opened or written. Throws
/// DriveRefusal ("Drive contains partitions" or "CreateFile failed") with the
/// probe's one-line reason. The session's source does the probing.
void GuardDrive(const RunSettings& settings, const DriveSession& session);

/// Opens the drive named by driveNumber from the session's source, prints its
/// path, size and partition count, refuses partitioned drives and attaches it
/// to a new completion port.
/// Throws std::runtime_error with the operator's message on failure.
void OpenDrive(const RunSettings& settings, DriveSession& session);

/// Closes the drive and its port if open; safe to call repeatedly.
void CloseDrive(DriveSession& session);
