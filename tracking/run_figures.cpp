#include "tracking/run_figures.h"

#include <boost/date_time/posix_time/conversion.hpp>
#include <boost/date_time/posix_time/posix_time_io.hpp>
#include <boost/date_time/posix_time/time_formatters.hpp>
#include <cmath>
#include <ctime>

#include "engine/dump_record.h"
#include "platform/host_info.h"
#include "smart/process_utils.h"
#include "status/cnvme_status.h"
#include "tracking/result_log.h"

namespace {

std::string FileNameOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"/\\");
    return ToNarrow(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

// The identity of the test's drive, taken in this one place so that every
// output names the drive the same way.
RunDriveIdentity DriveIdentityOf(const CSSDTest& test) {
    // The identity the drive check resolved; before it (a refusal), what the
    // status record knows.
    const CSSDStatus& status = *test.currentStatus;
    const DriveIdentity& resolved = test.identity;
    const bool checked = !resolved.serial.empty() || resolved.sizeBytes > 0;
    RunDriveIdentity identity;
    identity.number = test.driveNumber;
    if (test.driveSource != nullptr)
        identity.path = ToNarrow(test.driveSource->Path(test.driveNumber));
    identity.model = checked ? resolved.model : status.Model;
    identity.serial = checked ? resolved.serial : status.SerialNumber;
    identity.firmware = checked ? resolved.firmware : status.FirmwareRevision;
    identity.sizeBytes = test.driveSize > 0 ? static_cast<std::uint64_t>(test.driveSize)
                         : checked          ? static_cast<std::uint64_t>(resolved.sizeBytes)
                                            : status.DiskSize;
    identity.family = dynamic_cast<const CNVMeStatus*>(&status) != nullptr ? "nvme" : "kvt";
    return identity;
}

}  // namespace

double MeanSpeed(std::uint64_t blocks, std::uint64_t ticks, double counterFrequency) {
    if (ticks == 0) return 0;
    return static_cast<double>(blocks) * kBlockBytes / 1e6 /
           (static_cast<double>(ticks) / counterFrequency);
}

std::int64_t EstimatedEnd(std::int32_t startCount, std::int32_t nowCount, std::uint32_t target,
                          std::int64_t startedUnixTime, std::int64_t nowUnixTime) {
    if (nowCount <= startCount || nowCount < 0 || static_cast<std::uint32_t>(nowCount) >= target)
        return 0;
    const double secondsPerCount = static_cast<double>(nowUnixTime - startedUnixTime) /
                                   static_cast<double>(nowCount - startCount);
    const double remaining = static_cast<double>(target - static_cast<std::uint32_t>(nowCount));
    return nowUnixTime + static_cast<std::int64_t>(std::llround(secondsPerCount * remaining));
}

RunFigures BuildRunFigures(const CSSDTest& test, std::int64_t nowUnixTime) {
    const RunTally& tally = test.tally;
    const CSSDStatus& status = *test.currentStatus;
    RunFigures figures;
    figures.drive = DriveIdentityOf(test);
    figures.host = platform::HostName();
    figures.toolVersion = test.outputs.toolVersion;
    figures.readOnly = test.readOnly;
    figures.targetAec = test.StopAec();
    figures.state = test.state;
    figures.reason = test.stateReason;

    // A running test is in the round after its completed ones; an ended one
    // was last in a round it cut short, if it cut one.
    const bool cutShort = tally.roundBytes > 0;
    figures.roundsCompleted = tally.rounds;
    if (tally.started)
        figures.round = tally.rounds + (test.state == RunState::kRunning || cutShort ? 1 : 0);
    const std::int64_t roundEnd = RoundEndOffset(test.driveSize);
    if (roundEnd > 0)
        figures.roundPercent =
            100.0 * static_cast<double>(tally.roundBytes) / static_cast<double>(roundEnd);

    figures.averageEraseCount = status.AverageEraseCount;
    figures.startAverageEraseCount = tally.startAverageEraseCount;
    figures.bytesWritten = tally.blocksWritten * kBlockBytes;
    figures.bytesRead = tally.blocksRead * kBlockBytes;
    // What the drive itself counts: sectors for SATA, data units of 1000
    // sectors for NVMe.
    if (const auto* nvme = dynamic_cast<const CNVMeStatus*>(&status)) {
        figures.driveBytesWritten = nvme->DataUnitsWritten * 512000;
        figures.driveBytesRead = nvme->DataUnitsRead * 512000;
    } else if (const auto* kvt = dynamic_cast<const CKVTStatus*>(&status)) {
        figures.driveBytesWritten = kvt->TotalWriteSectors * 512;
        figures.driveBytesRead = kvt->TotalReadSectors * 512;
    }
    figures.bitErrors = test.uncorrectableBitErrors;
    figures.failedSectors = test.sectorFailCount;
    figures.runBitErrors = test.uncorrectableBitErrors - tally.startBitErrors;
    figures.runFailedSectors = test.sectorFailCount - tally.startFailedSectors;
    figures.rber = test.calculatedRber;
    // A rate that is not a number (nothing read yet) has no estimate either.
    figures.uber = std::isfinite(test.calculatedRber)
                       ? UncorrectableBitErrorRate(8, test.calculatedRber)
                       : test.calculatedRber;
    figures.writeMbPerS = MeanSpeed(tally.blocksWritten, tally.writeTicks, test.counterFrequency);
    figures.readMbPerS = MeanSpeed(tally.blocksRead, tally.readTicks, test.counterFrequency);

    figures.startedUnixTime = tally.startedUnixTime != 0 ? tally.startedUnixTime : nowUnixTime;
    figures.updatedUnixTime = nowUnixTime;
    if (!test.readOnly && test.state == RunState::kRunning)
        figures.estimatedEndUnixTime =
            EstimatedEnd(figures.startAverageEraseCount, figures.averageEraseCount, test.StopAec(),
                         figures.startedUnixTime, nowUnixTime);
    figures.logFile = FileNameOf(test.resultLogPath);
    return figures;
}

const char* RunStateName(RunState state) {
    static const char* const kNames[] = {"running", "finished", "abandoned", "failed", "refused"};
    return kNames[static_cast<int>(state)];
}

std::string IsoUtc(std::int64_t unixTime) {
    return boost::posix_time::to_iso_extended_string(
               boost::posix_time::from_time_t(static_cast<std::time_t>(unixTime))) +
           "Z";
}
