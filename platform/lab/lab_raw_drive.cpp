// Raw drive service of the lab: the drive's image (or block device) opened
// for direct I/O, transfers submitted through io_uring, completions passed
// through the controller (counters, flash bit errors) before the caller sees
// them, and the bench's transfer faults.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>
#include <unordered_map>

#include "platform/lab/lab_drive.h"
#include "platform/posix/host/text.h"
#include "platform/posix/io/uring_queue.h"
#include "platform/raw_drive.h"

namespace platform {

using lab::LabDrive;

struct RawDrive {
    std::shared_ptr<LabDrive> drive;
    int fd = -1;
    CompletionPort* port = nullptr;
};

namespace {

/// One transfer between its start and its collection.
struct Transfer {
    OverlappedSlot* slot = nullptr;
    std::shared_ptr<LabDrive> drive;
    std::int64_t offsetBytes = 0;
    void* buffer = nullptr;
    std::uint32_t length = 0;
    bool isRead = false;
    int result = 0;  ///< bytes moved or a negative errno, once known
};

constexpr std::int64_t kMiB = 1048576;

bool Touches(const std::vector<std::int64_t>& mibs, std::int64_t offsetBytes,
             std::uint32_t length) {
    for (std::int64_t mib : mibs)
        if (offsetBytes < (mib + 1) * kMiB && offsetBytes + length > mib * kMiB) return true;
    return false;
}

}  // namespace

struct CompletionPort {
    ~CompletionPort() {
        for (int fd : stallPipe)
            if (fd >= 0) ::close(fd);
    }
    posix::UringQueue ring;
    std::uint64_t nextId = 1;
    std::unordered_map<std::uint64_t, Transfer> inFlight;  ///< submitted to the ring
    std::deque<Transfer> finished;  ///< completed without the ring, waiting to be collected
    /// A pipe nobody writes: a stalled transfer is a read of it, in flight on
    /// the ring until it is cancelled, as a real request to a hung drive is.
    int stallPipe[2] = {-1, -1};
};

std::wstring DrivePath(std::uint32_t driveNumber) {
    lab::Bench bench;
    if (lab::LoadBench(&bench, nullptr)) {
        if (const lab::BenchDrive* drive = lab::FindDrive(bench, driveNumber))
            return posix::Widen(drive->devicePath.empty() ? drive->imagePath : drive->devicePath);
    }
    return posix::Widen(lab::BenchFolder() + "/lab_drive" + std::to_string(driveNumber) + ".img");
}

RawDrive* OpenRawDrive(std::uint32_t driveNumber, std::uint32_t* errorCode) {
    std::uint32_t error = 0;
    std::shared_ptr<LabDrive> drive = LabDrive::Acquire(driveNumber, &error);
    if (!drive) {
        if (errorCode != nullptr) *errorCode = error;
        return nullptr;
    }
    const lab::BenchDrive& config = drive->Config();
    if (config.faults.openFails) {
        if (errorCode != nullptr) *errorCode = EACCES;
        return nullptr;
    }
    int fd;
    if (config.devicePath.empty()) {
        fd = ::open(config.imagePath.c_str(), O_RDWR | O_DIRECT | O_CLOEXEC);
        // A file system without direct I/O (tmpfs) still serves the image.
        if (fd < 0 && errno == EINVAL) fd = ::open(config.imagePath.c_str(), O_RDWR | O_CLOEXEC);
    } else {
        fd = ::open(config.devicePath.c_str(), O_RDWR | O_DIRECT | O_EXCL | O_CLOEXEC);
    }
    if (fd < 0) {
        if (errorCode != nullptr) *errorCode = static_cast<std::uint32_t>(errno);
        return nullptr;
    }
    auto* raw = new RawDrive;
    raw->drive = std::move(drive);
    raw->fd = fd;
    return raw;
}

void CloseRawDrive(RawDrive* drive) {
    if (drive == nullptr) return;
    ::close(drive->fd);
    delete drive;
}

bool GetDriveSizeBytes(RawDrive* drive, std::int64_t* sizeBytes) {
    if (drive == nullptr || sizeBytes == nullptr) return false;
    if (drive->drive->Config().faults.geometryFails) {
        errno = EIO;
        return false;
    }
    *sizeBytes = drive->drive->SizeBytes();
    return true;
}

bool GetDriveLayout(RawDrive* drive, std::vector<std::uint8_t>* partitionTypes) {
    if (drive == nullptr || partitionTypes == nullptr) return false;
    const lab::BenchDrive& config = drive->drive->Config();
    if (config.faults.layoutFails) {
        errno = EIO;
        return false;
    }
    partitionTypes->assign(config.partitionEntries, 0x00);
    for (std::uint32_t i = 0; i < config.partitions; ++i) (*partitionTypes)[i] = 0x07;
    return true;
}

CompletionPort* CreateCompletionPort() {
    auto port = std::make_unique<CompletionPort>();
    const int rc = port->ring.Init(8);
    if (rc < 0) {
        errno = -rc;
        return nullptr;
    }
    return port.release();
}

bool AttachToPort(RawDrive* drive, CompletionPort* port) {
    if (drive == nullptr || port == nullptr) return false;
    drive->port = port;
    return true;
}

void CloseCompletionPort(CompletionPort* port) { delete port; }

bool RegisterTransferMemory(CompletionPort* port, void* memory, std::size_t bytes) {
    return port != nullptr && port->ring.RegisterBuffer(memory, bytes) == 0;
}

void UnregisterTransferMemory(CompletionPort* port) {
    if (port != nullptr) port->ring.UnregisterBuffer();
}

IoStartResult StartTransfer(RawDrive* drive, OverlappedSlot* slot, std::int64_t offsetBytes,
                            void* buffer, std::uint32_t length, bool isRead) {
    const auto refused = [](int code) {
        return IoStartResult{IoStart::Failed, static_cast<std::uint32_t>(code)};
    };
    if (drive == nullptr || slot == nullptr || buffer == nullptr) return refused(EINVAL);
    if (drive->port == nullptr) return refused(EBADF);
    const std::int64_t sizeBytes = drive->drive->SizeBytes();
    if (offsetBytes < 0 || length == 0 || offsetBytes % 512 != 0 || length % 512 != 0 ||
        offsetBytes + length > sizeBytes)
        return refused(EINVAL);

    CompletionPort* port = drive->port;
    const lab::DriveFaults& faults = drive->drive->Config().faults;
    Transfer transfer{slot, drive->drive, offsetBytes, buffer, length, isRead, 0};

    const bool stalls = Touches(faults.stallAtMib, offsetBytes, length);
    if (stalls && port->stallPipe[0] < 0 && ::pipe2(port->stallPipe, O_NONBLOCK | O_CLOEXEC) != 0)
        return refused(errno);
    if (Touches(faults.ioErrorAtMib, offsetBytes, length)) {
        if (faults.completeAtOnce) return refused(EIO);
        transfer.result = -EIO;
        port->finished.push_back(std::move(transfer));
        return IoStartResult{IoStart::Pending, 0};
    }
    if (faults.completeAtOnce) {
        const ssize_t moved = isRead ? ::pread(drive->fd, buffer, length, offsetBytes)
                                     : ::pwrite(drive->fd, buffer, length, offsetBytes);
        if (moved < 0) return refused(errno);
        transfer.result = static_cast<int>(moved);
        port->finished.push_back(std::move(transfer));
        return IoStartResult{IoStart::Finished, 0};
    }

    const std::uint64_t id = port->nextId++;
    port->inFlight.emplace(id, std::move(transfer));
    void* const userData = reinterpret_cast<void*>(static_cast<std::uintptr_t>(id));
    // Reading the silent pipe (also for a write) touches nothing until cancelled.
    const int rc =
        stalls ? port->ring.Submit(port->stallPipe[0], true, buffer, length, -1, userData)
               : port->ring.Submit(drive->fd, isRead, buffer, length, offsetBytes, userData);
    if (rc < 0) {
        port->inFlight.erase(id);
        return refused(-rc);
    }
    return IoStartResult{IoStart::Pending, 0};
}

bool WaitCompletion(CompletionPort* port, std::uint32_t timeoutMs, OverlappedSlot** slot) {
    if (slot != nullptr) *slot = nullptr;
    if (port == nullptr) return false;

    Transfer transfer;
    if (!port->finished.empty()) {
        transfer = std::move(port->finished.front());
        port->finished.pop_front();
    } else {
        void* userData = nullptr;
        int result = 0;
        if (port->ring.Wait(timeoutMs, &userData, &result) != 1) {
            errno = ETIMEDOUT;
            return false;
        }
        const auto found = port->inFlight.find(
            static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(userData)));
        if (found == port->inFlight.end()) return false;
        transfer = std::move(found->second);
        port->inFlight.erase(found);
        transfer.result = result;
    }

    if (slot != nullptr) *slot = transfer.slot;
    if (transfer.result != static_cast<int>(transfer.length)) {
        errno = transfer.result < 0 ? -transfer.result : EIO;
        return false;
    }
    if (transfer.isRead)
        transfer.drive->CompleteRead(transfer.offsetBytes, transfer.buffer, transfer.length);
    else
        transfer.drive->CompleteWrite(transfer.length);
    return true;
}

bool CancelTransfer(RawDrive*, CompletionPort* port, OverlappedSlot* slot,
                    std::uint32_t timeoutMs) {
    if (port == nullptr) return true;
    // Finished without the ring: nothing touches its memory any more.
    for (auto it = port->finished.begin(); it != port->finished.end();)
        it = it->slot == slot ? port->finished.erase(it) : it + 1;
    auto target = port->inFlight.begin();
    while (target != port->inFlight.end() && target->second.slot != slot) ++target;
    if (target == port->inFlight.end()) return true;

    const auto tagOf = [](std::uint64_t id) {
        return reinterpret_cast<void*>(static_cast<std::uintptr_t>(id));
    };
    // The cancel request carries id 0, which no transfer has. A completion of
    // another transfer is kept for WaitCompletion.
    const bool reaped = port->ring.CancelAndReap(
        tagOf(target->first), tagOf(0), timeoutMs, [port](void* other, int result) {
            const auto found = port->inFlight.find(
                static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(other)));
            if (found == port->inFlight.end()) return;
            found->second.result = result;
            port->finished.push_back(std::move(found->second));
            port->inFlight.erase(found);
        });
    if (reaped) port->inFlight.erase(target);
    return reaped;
}

}  // namespace platform
