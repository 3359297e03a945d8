#include "engine/loop_support.h"

#include <stdexcept>

#include "platform/drive.h"

StopCode PollInterrupt(RunControl& control) {
    if (control.abandonRequested) return kAbandoned;
    return control.interruptPoll ? control.interruptPoll() : kGoOn;
}

RoundEvents& RoundEventsOf(const RunControl& control) {
    if (control.roundEvents == nullptr)
        throw std::logic_error("the test loops run without round events");
    return *control.roundEvents;
}

void NotifyRun(const RunControl& control, RunMoment moment) {
    if (control.runObserver) control.runObserver(moment);
}

bool EndOfDriveReached(std::int64_t offset, std::int64_t driveSize) {
    return offset + static_cast<std::int64_t>(kBlockBytes) >= driveSize;
}

bool BatchEnds(std::int64_t offset, std::int64_t driveSize, std::uint32_t blocks, StopCode* stop) {
    if (EndOfDriveReached(offset, driveSize)) {
        *stop = kEndOfDrive;
        return true;
    }
    return blocks == kBatchBlocks;
}
