// The drives of this machine on Windows: \\.\PhysicalDriveN opened for
// overlapped, unbuffered transfers that complete through an I/O completion port.
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstddef>
#include <deque>
#include <new>
#include <unordered_set>

#include "platform/drive.h"
#include "platform/drive_decorator.h"
#include "platform/win32/disk_layout.h"
#include "platform/win32/raw_device.h"
#include "platform/win32/sync_ioctl.h"
#include "platform/win32/volume_probe.h"

namespace platform {

namespace {

// Wire layouts the drive requests rely on.
static_assert(IOCTL_DISK_GET_DRIVE_GEOMETRY_EX == 0x000700A0, "geometry request code");
static_assert(sizeof(DISK_GEOMETRY) == 24, "DISK_GEOMETRY is 24 bytes");
static_assert(offsetof(DISK_GEOMETRY_EX, DiskSize) == 24, "DiskSize follows DISK_GEOMETRY");
static_assert(sizeof(OVERLAPPED) <= sizeof(OverlappedSlot::bytes), "OVERLAPPED fits the slot");
static_assert(alignof(OVERLAPPED) <= alignof(OverlappedSlot), "slot alignment suits OVERLAPPED");
static_assert(offsetof(OverlappedSlot, bytes) == 0, "OVERLAPPED is the slot's first byte");

constexpr DWORD kRequestBufferBytes = 4096;

}  // namespace

namespace {

// A volume on the disk (also one without a partition table) counts as a used
// entry, so such a disk is refused like a partitioned one.
void CountVolumeOnDisk(HANDLE handle, std::vector<std::uint8_t>* partitionTypes) {
    STORAGE_DEVICE_NUMBER number{};
    DWORD returned = 0;
    if (!win32::SyncDeviceIoControl(handle, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number,
                                    sizeof number, &returned) ||
        returned < sizeof number)
        return;
    if (win32::UsedEntries(*partitionTypes) == 0 &&
        win32::VolumesOnDisk(number.DeviceNumber).partitionTable)
        partitionTypes->push_back(0x07);
}

class Win32Drive final : public Drive {
public:
    explicit Win32Drive(HANDLE handle) : handle_(handle) {}
    ~Win32Drive() override {
        CloseHandle(handle_);
        if (port_ != nullptr) CloseHandle(port_);
    }
    Win32Drive(const Win32Drive&) = delete;
    Win32Drive& operator=(const Win32Drive&) = delete;

    bool SizeBytes(std::int64_t* sizeBytes) override {
        alignas(8) unsigned char buffer[kRequestBufferBytes] = {};
        DWORD returned = 0;
        if (!win32::SyncDeviceIoControl(handle_, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, nullptr, 0,
                                        buffer, sizeof buffer, &returned))
            return false;
        if (returned < offsetof(DISK_GEOMETRY_EX, DiskSize) + sizeof(LARGE_INTEGER)) return false;
        const auto* geometry = reinterpret_cast<const DISK_GEOMETRY_EX*>(buffer);
        *sizeBytes = geometry->DiskSize.QuadPart;
        return true;
    }

    bool Layout(std::vector<std::uint8_t>* partitionTypes) override {
        if (!win32::ReadLayout(handle_, partitionTypes)) return false;
        CountVolumeOnDisk(handle_, partitionTypes);
        return true;
    }

    PortSetup AttachPort() override {
        port_ = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
        if (port_ == nullptr) return PortSetup::CreateFailed;
        if (CreateIoCompletionPort(handle_, port_, 0, 0) == nullptr) return PortSetup::AttachFailed;
        return PortSetup::Ready;
    }

    // Overlapped transfers on Windows have no registration of their buffers.
    bool RegisterTransferMemory(void*, std::size_t) override { return false; }
    void UnregisterTransferMemory() override {}

    IoStartResult StartTransfer(OverlappedSlot* slot, std::int64_t offsetBytes, void* buffer,
                                std::uint32_t length, bool isRead) override {
        if (port_ == nullptr) return {IoStart::Failed, ERROR_INVALID_HANDLE};
        // A fresh OVERLAPPED at the slot's start: the offset, no event.
        auto* overlapped = new (slot->bytes) OVERLAPPED();  // value-initialized (zeroed)
        const auto offset = static_cast<std::uint64_t>(offsetBytes);
        overlapped->Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
        overlapped->OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD transferred = 0;
        const BOOL done = isRead ? ReadFile(handle_, buffer, length, &transferred, overlapped)
                                 : WriteFile(handle_, buffer, length, &transferred, overlapped);
        const DWORD error = done ? ERROR_SUCCESS : GetLastError();
        if (!done && error != ERROR_IO_PENDING) return {IoStart::Failed, error};
        // Either way a completion packet is queued on the port.
        uncollected_.insert(overlapped);
        return {done ? IoStart::Finished : IoStart::Pending, 0};
    }

    bool WaitCompletion(std::uint32_t timeoutMs, OverlappedSlot** slot) override {
        *slot = nullptr;
        Completion completion{};
        if (!early_.empty()) {
            completion = early_.front();
            early_.pop_front();
        } else if (!Dequeue(timeoutMs, &completion)) {
            return false;  // time-out, or a packet that is no transfer
        }
        uncollected_.erase(completion.overlapped);
        // The OVERLAPPED sits at the start of its slot, so the addresses agree.
        // A failed transfer's slot is returned too: it has been collected.
        *slot = reinterpret_cast<OverlappedSlot*>(completion.overlapped);
        lastTransferError_ = completion.error;
        return completion.succeeded;
    }

    std::uint32_t LastTransferError() const override { return lastTransferError_; }

    bool CancelTransfer(OverlappedSlot* slot, std::uint32_t timeoutMs) override {
        if (slot == nullptr) return true;
        auto* target = reinterpret_cast<OVERLAPPED*>(slot->bytes);
        // Collected already (or never started): nothing refers to the slot.
        if (uncollected_.count(target) == 0) return true;
        // Closing the handle does not cancel a disk request; CancelIoEx does.
        // A request that finished meanwhile is not found, but its packet is
        // still queued: it is taken off the port here all the same, so that
        // no later wait hands out the cancelled slot.
        CancelIoEx(handle_, target);
        for (auto early = early_.begin(); early != early_.end(); ++early) {
            if (early->overlapped != target) continue;
            early_.erase(early);
            uncollected_.erase(target);
            return true;
        }
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        for (;;) {
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline) return false;
            Completion completion{};
            if (!Dequeue(static_cast<DWORD>(deadline - now), &completion)) {
                if (completion.portFailed || GetTickCount64() >= deadline) return false;
                continue;
            }
            if (completion.overlapped == target) {
                uncollected_.erase(target);
                return true;
            }
            early_.push_back(completion);  // another transfer's: kept for the next wait
        }
    }

private:
    struct Completion {
        OVERLAPPED* overlapped;
        bool succeeded;
        bool portFailed;  ///< no packet: the wait itself failed (not a time-out)
        DWORD error;      ///< GetLastError of a failed transfer
    };

    // Takes the next packet off the port. False on time-out or failure, or
    // for a packet that is no transfer.
    bool Dequeue(DWORD timeoutMs, Completion* completion) {
        *completion = Completion{nullptr, false, false, 0};
        if (port_ == nullptr) {
            completion->portFailed = true;
            return false;
        }
        DWORD transferred = 0;
        ULONG_PTR key = 0;
        OVERLAPPED* overlapped = nullptr;
        const BOOL ok =
            GetQueuedCompletionStatus(port_, &transferred, &key, &overlapped, timeoutMs);
        if (overlapped == nullptr) {
            completion->portFailed = !ok && GetLastError() != WAIT_TIMEOUT;
            return false;
        }
        *completion = Completion{overlapped, ok != FALSE, false, ok ? 0 : GetLastError()};
        return true;
    }

    HANDLE handle_;
    HANDLE port_ = nullptr;
    // Transfers whose completion has not been handed out or reaped yet.
    std::unordered_set<OVERLAPPED*> uncollected_;
    // Completions a cancel took off the port for other transfers.
    std::deque<Completion> early_;
    DWORD lastTransferError_ = 0;
};

class PhysicalDrives final : public DriveSource {
public:
    std::wstring Path(platform::DriveNumber driveNumber) override {
        return win32::PhysicalDrivePath(driveNumber);
    }
    DiskGuardResult CheckBeforeWrite(platform::DriveNumber driveNumber) override {
        return CheckDiskBeforeWrite(driveNumber);
    }

    std::unique_ptr<Drive> Open(platform::DriveNumber driveNumber,
                                std::uint32_t* errorCode) override {
        // One test per drive: the drive's mutex is made by the first test only.
        const HANDLE mutex =
            CreateMutexW(nullptr, FALSE, win32::TestMutexName(driveNumber).c_str());
        if (mutex == nullptr) {
            *errorCode = GetLastError();
            return nullptr;
        }
        if (GetLastError() == ERROR_ALREADY_EXISTS) {
            CloseHandle(mutex);
            *errorCode = ERROR_BUSY;
            return nullptr;
        }
        std::unique_ptr<Drive> drive = win32::OpenRawDevicePath(Path(driveNumber), errorCode);
        if (drive == nullptr) {
            CloseHandle(mutex);
            return nullptr;
        }
        return std::make_unique<MutexHeldDrive>(std::move(drive), mutex);
    }

private:
    // A drive that holds its test mutex until it is closed.
    class MutexHeldDrive final : public DriveDecorator {
    public:
        MutexHeldDrive(std::unique_ptr<Drive> inner, HANDLE mutex)
            : DriveDecorator(std::move(inner)), mutex_(mutex) {}
        ~MutexHeldDrive() override { CloseHandle(mutex_); }
        MutexHeldDrive(const MutexHeldDrive&) = delete;
        MutexHeldDrive& operator=(const MutexHeldDrive&) = delete;

    private:
        HANDLE mutex_;
    };
};

}  // namespace

std::wstring win32::PhysicalDrivePath(platform::DriveNumber driveNumber) {
    return L"\\\\.\\PhysicalDrive" + std::to_wstring(driveNumber);
}

std::wstring win32::TestMutexName(platform::DriveNumber driveNumber) {
    return L"Global\\ssdtest-test-PhysicalDrive" + std::to_wstring(driveNumber);
}

std::unique_ptr<Drive> win32::OpenRawDevicePath(const std::wstring& path,
                                                std::uint32_t* errorCode) {
    *errorCode = 0;
    const HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING,
                    FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *errorCode = GetLastError();
        return nullptr;
    }
    return std::make_unique<Win32Drive>(handle);
}

DriveSource& SystemDrives() {
    static PhysicalDrives drives;
    return drives;
}

}  // namespace platform
