// One overlapped 1 MiB transfer at a time through the open drive's completion port.
#pragma once

#include <cstdint>
#include <string>

#include "engine/block_size.h"
#include "engine/mmtimer.h"
#include "platform/drive.h"

struct IoRequest {
    platform::OverlappedSlot overlapped;  // first member: completions return its address
    std::int64_t offset;                  // byte offset of the block on the drive
    std::int64_t submitTicks;
    std::int64_t completeTicks;
    std::uint32_t length;
    bool isRead;
    void* buffer;
};

/// Starts the transfer; returns when it is in flight (or finished at once, its
/// completion still to be collected). Throws "IO Error: <system text>\n".
void SubmitIo(platform::Drive& drive, IoRequest& request);

/// Waits up to waitMs for the drive's next completion and returns its request with
/// completeTicks set. A failed transfer or a wait that runs out throws
/// "GetQueuedCompletionStatus Failed1" and, on the next line, the reason
/// (TransferFailureReason); `oldest` is the transfer in flight longest, the
/// one named when no transfer answers.
IoRequest& WaitIo(platform::Drive& drive, std::uint32_t waitMs, const IoRequest* oldest);

/// "Write at 64 MiB: Input/output error", or "Read at 128 MiB: no answer within
/// 10 s" when `timedOut`; `errorCode` 0 names a transfer that moved fewer bytes
/// than asked.
std::string TransferFailureReason(bool isRead, std::int64_t offsetBytes, bool timedOut,
                                  std::uint32_t errorCode, std::uint32_t waitMs);

/// Device speed in MB/s of n blocks taking tickSum counter ticks; 0 when
/// tickSum is 0.
double DeviceSpeed(std::uint32_t blocks, std::uint64_t tickSum, double counterFrequency);

/// Prints "Addr: <GB>[GB] Spd: <MB/s>[MB/s]" for a batch of n blocks ending at
/// offset, timed by batchTimer.
void PrintProgress(std::int64_t offset, std::uint32_t blocks, const mmtimer& batchTimer);

/// The progress line (without its line end) for a batch that took `seconds`.
std::string ProgressLine(std::int64_t offset, std::uint32_t blocks, double seconds);
