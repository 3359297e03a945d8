// Drive service: a whole drive opened for overlapped, unbuffered block
// transfers that complete through the drive's own completion port, and the
// sources that open drives by number. The system's source is linked per
// executable; tests and decorators supply others at run time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/disk_guard.h"
#include "platform/drive_number.h"

namespace platform {

/// Storage for the platform's per-transfer record (an OVERLAPPED on Windows).
/// It must be the first member of the record that owns it, so that the
/// address a completion returns is the owner's address. Zero it before use.
struct OverlappedSlot {
    alignas(8) unsigned char bytes[64];
};

enum class IoStart {
    Pending,   ///< the transfer is in flight; its completion will be queued
    Finished,  ///< the transfer finished at once; its completion is still queued
    Failed,    ///< the transfer was refused; nothing will be queued
};

struct IoStartResult {
    IoStart status;
    std::uint32_t errorCode;  ///< system error code when status is Failed
};

/// How setting up a drive's completion port went.
enum class PortSetup {
    Ready,         ///< transfers of the drive complete on its port
    CreateFailed,  ///< the port could not be created
    AttachFailed,  ///< the port exists but the drive could not be attached to it
};

/// An open drive. Closing it (destroying it) closes its port too.
class Drive {
public:
    virtual ~Drive() = default;

    /// Size of the drive in bytes (the disk geometry request). False on failure.
    virtual bool SizeBytes(std::int64_t* sizeBytes) = 0;

    /// The partition table's entries, one partition type byte per entry (0
    /// marks an unused entry). False when the layout cannot be read.
    virtual bool Layout(std::vector<std::uint8_t>* partitionTypes) = 0;

    /// Creates the drive's completion port for one waiting thread and attaches
    /// the drive to it; every later transfer completes there.
    virtual PortSetup AttachPort() = 0;

    /// Registers transfer memory with the port, so that transfers inside it
    /// skip pinning their pages each time; replaces an earlier registration.
    /// False when the system cannot (transfers then work as before).
    virtual bool RegisterTransferMemory(void* memory, std::size_t bytes) = 0;

    /// Drops the registration; call it before that memory is released.
    virtual void UnregisterTransferMemory() = 0;

    /// Starts one read (isRead) or write of `length` bytes at `offsetBytes`.
    /// `buffer` must stay valid until the completion has been collected and
    /// be aligned for unbuffered I/O (4096 bytes suffices everywhere). Fails
    /// before AttachPort succeeded.
    virtual IoStartResult StartTransfer(OverlappedSlot* slot, std::int64_t offsetBytes,
                                        void* buffer, std::uint32_t length, bool isRead) = 0;

    /// Waits up to timeoutMs for the next completion. Returns true and the
    /// completed transfer's slot when a transfer completed successfully; false
    /// on time-out (slot nullptr) or when the completed transfer failed (its
    /// slot, now collected).
    virtual bool WaitCompletion(std::uint32_t timeoutMs, OverlappedSlot** slot) = 0;

    /// The system error code of the failed transfer the last WaitCompletion
    /// returned; 0 when it failed without one (it moved fewer bytes than asked).
    virtual std::uint32_t LastTransferError() const { return 0; }

    /// Cancels the transfer started with `slot` if it is still in flight and
    /// waits up to timeoutMs for its completion, which is collected here and
    /// never returned by WaitCompletion. True when the system no longer touches
    /// the slot or the transfer's buffer (also when the transfer had already
    /// been collected); false when the wait ran out: both must then stay
    /// allocated.
    virtual bool CancelTransfer(OverlappedSlot* slot, std::uint32_t timeoutMs) = 0;

    /// Transfers the drive asks to have in flight at once when the operator
    /// names no queue depth; 0 when it asks for none (one at a time).
    virtual std::uint32_t PreferredQueueDepth() { return 0; }
};

/// The drives a test can open, by drive number.
class DriveSource {
public:
    virtual ~DriveSource() = default;

    /// Path shown to the operator for drive `driveNumber` ("\\.\PhysicalDrive3",
    /// "/dev/sdb", a lab image path). Never fails; unknown numbers still get a path.
    virtual std::wstring Path(platform::DriveNumber driveNumber) = 0;

    /// Opens the drive for reading and writing, unbuffered and overlapped.
    /// nullptr on failure with the system's error code in *errorCode.
    virtual std::unique_ptr<Drive> Open(platform::DriveNumber driveNumber,
                                        std::uint32_t* errorCode) = 0;

    /// The disk guard's verdict on the drive, probed without writing to it.
    /// Every source gives its own; none passes drives unprobed by default.
    virtual DiskGuardResult CheckBeforeWrite(platform::DriveNumber driveNumber) = 0;
};

/// The drives of this machine (or of the lab bench in the lab executable).
/// Its CheckBeforeWrite is the platform's disk guard; its Open does not ask
/// it (GuardedDrives does). Lives as long as the process.
DriveSource& SystemDrives();

}  // namespace platform
