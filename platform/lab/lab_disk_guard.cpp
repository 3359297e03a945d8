// Disk guard of the lab: a drive backed by a block device is probed like a
// real disk; an image file belongs to the lab and always passes.
#include "platform/disk_guard.h"
#include "platform/lab/lab_bench.h"
#include "platform/posix/probe/block_device_probe.h"

namespace platform {

DiskGuardResult CheckDiskBeforeWrite(std::uint32_t driveNumber) {
    lab::Bench bench;
    if (!lab::LoadBench(&bench, nullptr)) return DiskGuardResult{};  // opening fails later
    const lab::BenchDrive* drive = lab::FindDrive(bench, driveNumber);
    if (drive == nullptr || drive->devicePath.empty()) return DiskGuardResult{};
    return posix::ProbeBlockDevice(drive->devicePath);
}

}  // namespace platform
