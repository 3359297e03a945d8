// Raw drive service: a whole physical drive opened for overlapped, unbuffered
// block transfers that complete through one completion port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct RawDrive;        // opaque; owned by whoever opened it
struct CompletionPort;  // opaque; owned by whoever created it

/// Storage for the platform's per-transfer record (an OVERLAPPED on Windows).
/// It must be the first member of the record that owns it, so that the
/// address a completion returns is the owner's address. Zero it before use.
struct OverlappedSlot {
    alignas(8) unsigned char bytes[64];
};

/// Path shown to the operator for drive `driveNumber` ("\\.\PhysicalDrive3",
/// "/dev/sdb", a lab image path). Never fails; unknown numbers still get a path.
std::wstring DrivePath(std::uint32_t driveNumber);

/// Opens the drive for reading and writing, unbuffered and overlapped.
/// Returns nullptr on failure and stores the system's error code in *errorCode.
RawDrive* OpenRawDrive(std::uint32_t driveNumber, std::uint32_t* errorCode);

/// Closes a drive opened by OpenRawDrive; nullptr is ignored.
void CloseRawDrive(RawDrive* drive);

/// Size of the drive in bytes (the disk geometry request). False on failure.
bool GetDriveSizeBytes(RawDrive* drive, std::int64_t* sizeBytes);

/// The partition table's entries, one partition type byte per entry (0 marks
/// an unused entry). False when the layout cannot be read.
bool GetDriveLayout(RawDrive* drive, std::vector<std::uint8_t>* partitionTypes);

/// Creates a completion port for one waiting thread; nullptr on failure.
CompletionPort* CreateCompletionPort();

/// Attaches the drive to the port: every later transfer of the drive completes
/// there. False on failure.
bool AttachToPort(RawDrive* drive, CompletionPort* port);

/// Closes a port; nullptr is ignored.
void CloseCompletionPort(CompletionPort* port);

/// Registers transfer memory with the port, so that transfers inside it skip
/// pinning their pages each time; replaces an earlier registration. False when
/// the system cannot (transfers then work as before, unregistered).
bool RegisterTransferMemory(CompletionPort* port, void* memory, std::size_t bytes);

/// Drops the port's registration; call it before that memory is released.
void UnregisterTransferMemory(CompletionPort* port);

enum class IoStart {
    Pending,   ///< the transfer is in flight; its completion will be queued
    Finished,  ///< the transfer finished at once; its completion is still queued
    Failed,    ///< the transfer was refused; nothing will be queued
};

struct IoStartResult {
    IoStart status;
    std::uint32_t errorCode;  ///< system error code when status is Failed
};

/// Starts one read (isRead) or write of `length` bytes at `offsetBytes`.
/// `buffer` must stay valid until the completion has been collected and must be
/// aligned for unbuffered I/O (4096 bytes suffices everywhere).
IoStartResult StartTransfer(RawDrive* drive, OverlappedSlot* slot, std::int64_t offsetBytes,
                            void* buffer, std::uint32_t length, bool isRead);

/// Waits up to timeoutMs for the next completion on the port. Returns true and
/// the completed transfer's slot when a transfer completed successfully; false
/// on time-out or when the completed transfer failed.
bool WaitCompletion(CompletionPort* port, std::uint32_t timeoutMs, OverlappedSlot** slot);

/// Cancels the transfer started with `slot` if it is still in flight and
/// waits up to timeoutMs for its completion, which is collected here and never
/// returned by WaitCompletion. Returns true when the system no longer touches
/// the slot or the transfer's buffer (also when the transfer had already been
/// collected); false when the wait ran out: both must then stay allocated.
bool CancelTransfer(RawDrive* drive, CompletionPort* port, OverlappedSlot* slot,
                    std::uint32_t timeoutMs);

}  // namespace platform
