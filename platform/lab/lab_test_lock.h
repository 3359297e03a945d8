// One test per bench drive: the lock a test holds on its drive for its span,
// which a second process meets at once and can name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "platform/drive_decorator.h"
#include "platform/lab/lab_bench.h"

namespace platform::lab {

/// Exclusive flocks on the drive's image (a block device is opened with
/// O_EXCL instead) and on its state's lock file, shared by every open of the
/// drive in this process. nullptr with the errno value in *errorCode when
/// they cannot be taken (EWOULDBLOCK: another process tests the drive).
std::shared_ptr<void> LockForTest(const BenchDrive& drive, std::uint32_t* errorCode);

/// "<pid> (<command>)" of another process that holds the drive's test lock;
/// empty when none does.
std::string TestLockHolder(const BenchDrive& drive);

/// A drive that keeps its test lock as long as it is open.
class LockedDrive final : public DriveDecorator {
public:
    LockedDrive(std::unique_ptr<Drive> inner, std::shared_ptr<void> lock)
        : DriveDecorator(std::move(inner)), lock_(std::move(lock)) {}

private:
    std::shared_ptr<void> lock_;
};

}  // namespace platform::lab
