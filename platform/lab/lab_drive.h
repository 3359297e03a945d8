// One lab drive in this process: its bench entry, its backing store and its
// emulated controller. The data handle, the control handles and transfers in
// flight share one LabDrive; the controller state is saved when the last of
// them lets go, and whenever SMART data is read.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/drive_number.h"
#include "platform/lab/lab_bench.h"
#include "platform/lab/lab_controller.h"

namespace platform::lab {

struct PowerSession;

class LabDrive {
public:
    /// The drive with `number` of the current bench, shared with every other
    /// user in the process. nullptr with an errno value in *errorCode when the
    /// bench is invalid (EINVAL), the number is not on it (ENOENT), the drive is
    /// marked missing (ENOENT) or its store or state cannot be set up.
    static std::shared_ptr<LabDrive> Acquire(platform::DriveNumber number,
                                             std::uint32_t* errorCode);

    ~LabDrive();
    LabDrive(const LabDrive&) = delete;
    LabDrive& operator=(const LabDrive&) = delete;

    const BenchDrive& Config() const { return config_; }
    std::int64_t SizeBytes() const { return sizeBytes_; }

    /// Accounts a completed write of `length` bytes at `offsetBytes`.
    void CompleteWrite(std::int64_t offsetBytes, std::uint32_t length);
    /// Accounts a completed read and applies the flash bit errors to `data`.
    void CompleteRead(std::int64_t offsetBytes, void* data, std::uint32_t length);

    /// SMART ENABLE OPERATIONS. False when the drive rejects it.
    bool EnableSmart();
    /// SMART READ DATA into a 512-byte page; saves the state. False when the
    /// drive does not deliver the page.
    bool ReadSmartPage(unsigned char* page);
    /// IDENTIFY DEVICE into a 512-byte page. False when the drive rejects it.
    bool ReadIdentifyPage(unsigned char* page);

    /// Identify for CNS `cns` into a 4096-byte page (nvme drives only).
    bool ReadNvmeIdentify(std::uint8_t cns, std::uint8_t* page);
    /// Get Log Page into a 512-byte log (nvme drives only); saves the state.
    /// False for a log the drive does not offer or once SMART has failed.
    bool ReadNvmeLog(std::uint8_t logId, std::uint16_t specific, std::uint8_t* log);
    /// Writes the controller state to its side file, unless another process
    /// tests the drive (its state is that process's to write).
    void Save();

private:
    LabDrive(const BenchDrive& config, std::int64_t sizeBytes, PowerSession* session,
             std::uint64_t seed);
    void AccountPowerOnTime();
    void SaveUnlessUnderTestElsewhere();

    BenchDrive config_;
    std::int64_t sizeBytes_;
    PowerSession* session_;
    std::mutex mutex_;
    Controller controller_;
};

}  // namespace platform::lab
