// The drive registry: probes every listed disk, classifies it by its SMART
// attribute set and keeps one bound status record per recognised drive.
#include "smart/drive_registry.h"

#include <bitset>
#include <ostream>

#include "disks/disk_state.h"
#include "platform/ata_wire.h"
#include "smart/nvme_channel.h"
#include "smart/smart_channel.h"
#include "smart/trace_stream.h"
#include "status/ckvt_status.h"
#include "status/cnvme_status.h"
#include "status/crzb_status.h"

namespace {

using IdSet = std::bitset<256>;

template <std::size_t N>
bool HasAll(const IdSet& present, const std::uint8_t (&ids)[N]) {
    for (std::uint8_t id : ids) {
        if (!present.test(id)) return false;
    }
    return true;
}

}  // namespace

int ClassifyDrive(const SmartDataBlock& block) {
    IdSet present;
    ForEachAttribute(block, [&present](const std::uint8_t* entry) { present.set(entry[0]); });
    // The second kind is tested first, so a drive holding both sets is of it.
    if (HasAll(present, platform::ata::rzb::kSignatureIds)) return kDriveRZB;
    if (HasAll(present, platform::ata::kvt::kSignatureIds)) return kDriveKVT;
    return kDriveUnknown;
}

CSSDStatus* CSSDSmart::CreateStatus(const SmartDataBlock& block) {
    switch (ClassifyDrive(block)) {
        case kDriveKVT:
            return new CKVTStatus();
        case kDriveRZB:
            return new CRZBStatus();
        default:
            return nullptr;
    }
}

void CSSDSmart::BuildRegistry() {
    DiskList.clear();
    if (GetDiskState(&DiskList)) {
        for (const platform::DiskRecord& disk : DiskList) ProbeDrive(disk);
    } else {
        GetTraceStream() << "InitWmi failed!" << std::endl;
    }
    GetTraceStream() << std::endl;
    RefreshAll();
}

void CSSDSmart::ProbeDrive(const platform::DiskRecord& disk) {
    // The prefix is not flushed: it goes out with the next note of this disk.
    GetTraceStream() << "Drive #" << disk.Index << " ";
    if (IsNvmeDrive(platform::DriveNumberOf(disk.Index))) {
        auto nvme = std::make_unique<CNVMeStatus>();
        if (nvme->Init(disk)) {
            StatusList.push_back(std::move(nvme));
            GetTraceStream() << "OK (NVMe). " << std::endl;
        } else {
            GetTraceStream() << "NVMe Init Failed." << disk.Index << std::endl;
        }
        return;
    }
    SmartDataBlock block;
    if (!GetSmartReadData(platform::DriveNumberOf(disk.Index), &block)) {
        GetTraceStream() << "GetSmartReadData Failed." << std::endl;
        return;
    }
    std::unique_ptr<CSSDStatus> record(CreateStatus(block));
    if (record && record->Init(disk)) {
        StatusList.push_back(std::move(record));
        GetTraceStream() << "OK. " << std::endl;
    } else {
        GetTraceStream() << "Init Failed." << disk.Index << std::endl;
    }
}

void CSSDSmart::RefreshAll() {
    for (const std::unique_ptr<CSSDStatus>& record : StatusList) record->Refresh();
}

CSSDSmart& GetSSDSmart() {
    // Kept only once fully built: a build that throws leaves nothing behind
    // and the next call builds again.
    static std::unique_ptr<CSSDSmart> registry;
    if (!registry) {
        auto fresh = std::make_unique<CSSDSmart>();
        fresh->BuildRegistry();
        fresh->RefreshAll();
        registry = std::move(fresh);
    }
    return *registry;
}
