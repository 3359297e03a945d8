// NVMe drives of the lab through the NVMe channel and the registry.
#include "smart/nvme_channel.h"

#include <gtest/gtest.h>

#include "smart/drive_registry.h"
#include "smart/smart_channel.h"
#include "status/cnvme_status.h"
#include "tests/smart/lab_bench_scope.h"
#include "tests/smart/trace_capture.h"

TEST(NvmeChannelLab, RegistryBindsNvmeDrivesAndOnlyThem) {
    LabBenchScope bench(BenchJson(
        {BenchDriveJson(0, "kvt", "KV Lab", "KV1", "KV2.10"),
         BenchDriveJson(1, "nvme", "NV Lab", "NV1", "NV1.00", "\"size_mib\": 2"),
         BenchDriveJson(2, "nvme", "NV Plain", "NV2", "NV1.00", "\"datacenter_log\": false")}));
    EXPECT_FALSE(IsNvmeDrive(0));  // a SATA drive answers no NVMe query
    SmartDataBlock block;
    EXPECT_FALSE(GetSmartReadData(1, &block));  // nor an NVMe drive ATA SMART

    NvmeIdentity identity;
    ASSERT_TRUE(GetNvmeIdentity(1, &identity));
    EXPECT_EQ("NV Lab", identity.model);
    EXPECT_EQ("NV1", identity.serial);
    EXPECT_EQ("NV1.00", identity.firmware);
    EXPECT_EQ(2u << 20, identity.sizeBytes);
    EXPECT_EQ(512u, identity.blockBytes);
    EXPECT_EQ(1, identity.enduranceGroup);

    CSSDSmart registry;
    TraceCapture trace;
    for (int number : {0, 1, 2}) {
        platform::DiskRecord disk;
        disk.Index = number;
        registry.ProbeDrive(disk);
    }
    EXPECT_EQ("Drive #0 OK. \nDrive #1 OK (NVMe). \nDrive #2 OK (NVMe). \n", trace.Text());
    ASSERT_EQ(3u, registry.StatusList.size());
    const auto* datacenter = dynamic_cast<const CNVMeStatus*>(registry.StatusList[1].get());
    const auto* plain = dynamic_cast<const CNVMeStatus*>(registry.StatusList[2].get());
    ASSERT_TRUE(datacenter != nullptr && plain != nullptr);
    EXPECT_EQ(EraseCountSource::DatacenterLog, datacenter->Source);
    EXPECT_EQ(EraseCountSource::DriveWrites, plain->Source);
    EXPECT_EQ("NVMe Health Log v1", plain->GetCSVHeader().substr(0, 18));
}
