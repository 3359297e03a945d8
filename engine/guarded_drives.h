// A drive source behind the disk guard.
#pragma once

#include "platform/drive.h"

/// The drives of another source, each checked by the platform's disk guard
/// before a test writes to it.
class GuardedDrives final : public platform::DriveSource {
public:
    explicit GuardedDrives(platform::DriveSource& inner) : inner_(inner) {}

    std::wstring Path(std::uint32_t driveNumber) override { return inner_.Path(driveNumber); }
    std::unique_ptr<platform::Drive> Open(std::uint32_t driveNumber,
                                          std::uint32_t* errorCode) override {
        return inner_.Open(driveNumber, errorCode);
    }
    platform::DiskGuardResult CheckBeforeWrite(std::uint32_t driveNumber) override;

private:
    platform::DriveSource& inner_;
};

/// The system's drives behind the disk guard: the test context's default source.
platform::DriveSource& GuardedSystemDrives();
