// Disk guard of the lab: a drive another process tests is refused; a drive
// backed by a block device is probed like a real disk; an image file belongs
// to the lab and passes.
#include "platform/disk_guard.h"
#include "platform/lab/lab_bench.h"
#include "platform/lab/lab_test_lock.h"
#include "platform/posix/probe/block_device_probe.h"

namespace platform {

DiskGuardResult CheckDiskBeforeWrite(platform::DriveNumber driveNumber) {
    lab::Bench bench;
    if (!lab::LoadBench(&bench, nullptr)) return DiskGuardResult{};  // opening fails later
    const lab::BenchDrive* drive = lab::FindDrive(bench, driveNumber);
    if (drive == nullptr) return DiskGuardResult{};
    // A second test on a drive under test is refused before anything is read.
    const std::string holder = lab::TestLockHolder(*drive);
    if (!holder.empty()) {
        DiskGuardResult busy;
        busy.refused = true;
        busy.reason = (drive->devicePath.empty() ? drive->imagePath : drive->devicePath) +
                      " is under test by process " + holder + "; wait for that test to end";
        return busy;
    }
    if (drive->devicePath.empty()) return DiskGuardResult{};
    return posix::ProbeBlockDevice(drive->devicePath);
}

}  // namespace platform
