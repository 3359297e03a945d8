// A drive that forwards every call to another drive it owns: the base of the
// decorators that add to any drive (accounting, injected faults).
#pragma once

#include <memory>
#include <utility>

#include "platform/drive.h"

namespace platform {

class DriveDecorator : public Drive {
public:
    explicit DriveDecorator(std::unique_ptr<Drive> inner) : inner_(std::move(inner)) {}

    bool SizeBytes(std::int64_t* sizeBytes) override { return inner_->SizeBytes(sizeBytes); }
    bool Layout(std::vector<std::uint8_t>* partitionTypes) override {
        return inner_->Layout(partitionTypes);
    }
    PortSetup AttachPort() override { return inner_->AttachPort(); }
    bool RegisterTransferMemory(void* memory, std::size_t bytes) override {
        return inner_->RegisterTransferMemory(memory, bytes);
    }
    void UnregisterTransferMemory() override { inner_->UnregisterTransferMemory(); }
    IoStartResult StartTransfer(OverlappedSlot* slot, std::int64_t offsetBytes, void* buffer,
                                std::uint32_t length, bool isRead) override {
        return inner_->StartTransfer(slot, offsetBytes, buffer, length, isRead);
    }
    bool WaitCompletion(std::uint32_t timeoutMs, OverlappedSlot** slot) override {
        return inner_->WaitCompletion(timeoutMs, slot);
    }
    bool CancelTransfer(OverlappedSlot* slot, std::uint32_t timeoutMs) override {
        return inner_->CancelTransfer(slot, timeoutMs);
    }
    std::uint32_t LastTransferError() const override { return inner_->LastTransferError(); }
    std::uint32_t PreferredQueueDepth() override { return inner_->PreferredQueueDepth(); }

protected:
    Drive& inner() { return *inner_; }

private:
    std::unique_ptr<Drive> inner_;
};

}  // namespace platform
