#include "engine/block_io.h"

#include <sstream>
#include <stdexcept>
#include <type_traits>

#include "platform/clock.h"
#include "smart/process_utils.h"
#include "text/operator_output.h"

static_assert(std::is_standard_layout<IoRequest>::value,
              "a completion's slot address must be its request's address");

void SubmitIo(platform::Drive& drive, IoRequest& request) {
    request.submitTicks = platform::PerformanceCounter();
    const platform::IoStartResult started = drive.StartTransfer(
        &request.overlapped, request.offset, request.buffer, request.length, request.isRead);
    // A transfer that finished at once is a success: its completion is still
    // queued and WaitIo collects it like any other.
    if (started.status != platform::IoStart::Failed) return;
    throw std::runtime_error("IO Error: " + ToNarrow(GetSystemErrorText(started.errorCode)) + "\n");
}

std::string TransferFailureReason(bool isRead, std::int64_t offsetBytes, bool timedOut,
                                  std::uint32_t errorCode, std::uint32_t waitMs) {
    std::ostringstream reason;
    reason << (isRead ? "Read" : "Write") << " at " << offsetBytes / (1024 * 1024) << " MiB: ";
    if (timedOut) {
        reason << "no answer within " << waitMs / 1000.0 << " s";
    } else {
        const std::string text = errorCode != 0 ? ToNarrow(GetSystemErrorText(errorCode)) : "";
        if (errorCode == 0)
            reason << "the transfer moved fewer bytes than asked";
        else if (text.empty())
            reason << "system error " << errorCode;
        else
            reason << text;
    }
    return reason.str();
}

IoRequest& WaitIo(platform::Drive& drive, std::uint32_t waitMs, const IoRequest* oldest) {
    platform::OverlappedSlot* slot = nullptr;
    if (!drive.WaitCompletion(waitMs, &slot) || slot == nullptr) {
        const IoRequest* failed = slot != nullptr ? reinterpret_cast<IoRequest*>(slot) : oldest;
        std::string message = "GetQueuedCompletionStatus Failed1";
        if (failed != nullptr)
            message += "\n" + TransferFailureReason(failed->isRead, failed->offset, slot == nullptr,
                                                    drive.LastTransferError(), waitMs);
        throw std::runtime_error(message);
    }
    IoRequest& request = *reinterpret_cast<IoRequest*>(slot);
    request.completeTicks = platform::PerformanceCounter();
    return request;
}

double DeviceSpeed(std::uint32_t blocks, std::uint64_t tickSum, double counterFrequency) {
    if (tickSum == 0) return 0;
    const std::uint64_t bytes = std::uint64_t{blocks} * kBlockBytes;
    return static_cast<double>(bytes) / 1000 / 1000 / static_cast<double>(tickSum) *
           counterFrequency;
}

std::string ProgressLine(std::int64_t offset, std::uint32_t blocks, double seconds) {
    const std::uint64_t bytes = std::uint64_t{blocks} * kBlockBytes;
    const double speed = static_cast<double>(bytes) / 1000 / 1000 / seconds;
    std::ostringstream line;
    line << "Addr: " << static_cast<double>(offset) / 1000 / 1000 / 1000 << "[GB] Spd: " << speed
         << "[MB/s]";
    return line.str();
}

void PrintProgress(std::int64_t offset, std::uint32_t blocks, const mmtimer& batchTimer) {
    Out() << ProgressLine(offset, blocks, batchTimer.elapsed_seconds()) << std::endl;
}
