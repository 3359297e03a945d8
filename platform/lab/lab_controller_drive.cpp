#include <cerrno>

#include "platform/lab/lab_drive_decorators.h"

namespace platform::lab {

namespace {
constexpr std::int64_t kLbaBytes = 512;
constexpr std::uint8_t kUsedPartitionType = 0x07;
}  // namespace

bool ControllerDrive::SizeBytes(std::int64_t* sizeBytes) {
    if (lab_->Config().faults.geometryFails) {
        errno = EIO;
        return false;
    }
    *sizeBytes = lab_->SizeBytes();
    return true;
}

bool ControllerDrive::Layout(std::vector<std::uint8_t>* partitionTypes) {
    const BenchDrive& config = lab_->Config();
    if (config.faults.layoutFails) {
        errno = EIO;
        return false;
    }
    partitionTypes->assign(config.partitionEntries, 0x00);
    for (std::uint32_t i = 0; i < config.partitions; ++i) (*partitionTypes)[i] = kUsedPartitionType;
    return true;
}

IoStartResult ControllerDrive::StartTransfer(OverlappedSlot* slot, std::int64_t offsetBytes,
                                             void* buffer, std::uint32_t length, bool isRead) {
    if (offsetBytes < 0 || length == 0 || offsetBytes % kLbaBytes != 0 || length % kLbaBytes != 0 ||
        offsetBytes + length > lab_->SizeBytes())
        return {IoStart::Failed, EINVAL};
    const IoStartResult started = inner().StartTransfer(slot, offsetBytes, buffer, length, isRead);
    if (started.status != IoStart::Failed)
        inFlight_[slot] = Transfer{offsetBytes, buffer, length, isRead};
    return started;
}

bool ControllerDrive::WaitCompletion(std::uint32_t timeoutMs, OverlappedSlot** slot) {
    const bool ok = inner().WaitCompletion(timeoutMs, slot);
    const auto found = inFlight_.find(*slot);
    if (found == inFlight_.end()) return ok;
    const Transfer transfer = found->second;
    inFlight_.erase(found);
    if (!ok) return false;
    if (transfer.isRead)
        lab_->CompleteRead(transfer.offsetBytes, transfer.buffer, transfer.length);
    else
        lab_->CompleteWrite(transfer.offsetBytes, transfer.length);
    return true;
}

bool ControllerDrive::CancelTransfer(OverlappedSlot* slot, std::uint32_t timeoutMs) {
    if (!inner().CancelTransfer(slot, timeoutMs)) return false;
    inFlight_.erase(slot);
    return true;
}

}  // namespace platform::lab
