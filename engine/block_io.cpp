#include "engine/block_io.h"

#include <sstream>
#include <stdexcept>
#include <type_traits>

#include "platform/clock.h"
#include "smart/process_utils.h"
#include "text/operator_output.h"

static_assert(std::is_standard_layout<IoRequest>::value,
              "a completion's slot address must be its request's address");

void SubmitIo(CSSDTest& test, IoRequest& request) {
    request.submitTicks = platform::PerformanceCounter();
    const platform::IoStartResult started = test.drive->StartTransfer(
        &request.overlapped, request.offset, request.buffer, request.length, request.isRead);
    // A transfer that finished at once is a success: its completion is still
    // queued and WaitIo collects it like any other.
    if (started.status != platform::IoStart::Failed) return;
    throw std::runtime_error("IO Error: " + ToNarrow(GetSystemErrorText(started.errorCode)) + "\n");
}

IoRequest& WaitIo(CSSDTest& test) {
    platform::OverlappedSlot* slot = nullptr;
    if (!test.drive->WaitCompletion(test.timings.completionWaitMs, &slot) || slot == nullptr)
        throw std::runtime_error("GetQueuedCompletionStatus Failed1");
    IoRequest& request = *reinterpret_cast<IoRequest*>(slot);
    request.completeTicks = platform::PerformanceCounter();
    return request;
}

double DeviceSpeed(std::uint32_t blocks, std::uint64_t tickSum, double counterFrequency) {
    if (tickSum == 0) return 0;
    const std::uint32_t bytes = blocks * kBlockBytes;
    return static_cast<double>(bytes) / 1000 / 1000 / static_cast<double>(tickSum) *
           counterFrequency;
}

std::string ProgressLine(std::int64_t offset, std::uint32_t blocks, double seconds) {
    const std::uint32_t bytes = blocks * kBlockBytes;
    const double speed = static_cast<double>(bytes) / 1000 / 1000 / seconds;
    std::ostringstream line;
    line << "Addr: " << static_cast<double>(offset) / 1000 / 1000 / 1000 << "[GB] Spd: " << speed
         << "[MB/s]";
    return line.str();
}

void PrintProgress(std::int64_t offset, std::uint32_t blocks, const mmtimer& batchTimer) {
    Out() << ProgressLine(offset, blocks, batchTimer.elapsed_seconds()) << std::endl;
}
