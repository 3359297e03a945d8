// A drive source behind the disk guard.
#pragma once

#include "platform/drive.h"
#include "platform/drive_number.h"

/// The drives of another source, opened only when that source's disk guard
/// passes them: the guard sits in the open path itself, so no caller can get
/// a refused drive for writing whatever order it calls in.
class GuardedDrives final : public platform::DriveSource {
public:
    explicit GuardedDrives(platform::DriveSource& inner) : inner_(inner) {}

    std::wstring Path(platform::DriveNumber driveNumber) override {
        return inner_.Path(driveNumber);
    }
    /// Probes the drive, then opens it. Throws DriveRefusal (the guard's
    /// message and reason) for a refused drive, which is then never opened.
    std::unique_ptr<platform::Drive> Open(platform::DriveNumber driveNumber,
                                          std::uint32_t* errorCode) override;
    platform::DiskGuardResult CheckBeforeWrite(platform::DriveNumber driveNumber) override {
        return inner_.CheckBeforeWrite(driveNumber);
    }

private:
    platform::DriveSource& inner_;
};

/// Throws DriveRefusal for a refused verdict: "Drive contains partitions" for
/// a partition table or partitions, else "CreateFile failed", with the
/// guard's reason line. A drive that did not answer the probe throws
/// std::runtime_error with the reason ("<path> does not answer: ..."). Returns
/// for a drive that passed.
void RefuseGuardedDrive(const platform::DiskGuardResult& guard);

/// The system's drives behind the disk guard: the test context's default source.
platform::DriveSource& GuardedSystemDrives();
