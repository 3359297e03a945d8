// The bench file: the default written when missing, what the disk list and the
// drive layout report, and clear refusals of invalid benches.
#include "platform/lab/lab_bench.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/disk_list.h"
#include "tests/platform/lab/lab_test_support.h"

namespace {

class LabBench : public labtest::LabFixture {};

TEST_F(LabBench, MissingBenchIsWrittenAsTheDefaultAndListed) {
    std::vector<platform::DiskRecord> disks;
    ASSERT_TRUE(platform::EnumerateDisks(&disks));

    EXPECT_EQ(ReadFile("ssdlab.json"), platform::lab::DefaultBenchText());
    ASSERT_EQ(disks.size(), 5u);
    EXPECT_EQ(disks[0].Index, 0);
    EXPECT_EQ(disks[0].Size, 64 * 1048576LL);
    EXPECT_EQ(disks[1].Index, 1);
    EXPECT_EQ(disks[1].Size, 256 * 1048576LL);
    EXPECT_EQ(disks[1].Model, L"Brindlecove KV Lab 256");
    EXPECT_EQ(disks[1].SerialNumber, L"BKV2560000001");
    EXPECT_EQ(disks[2].Index, 2);
    EXPECT_EQ(disks[2].Size, 64 * 1048576LL);
    EXPECT_EQ(disks[3].Model, L"Brindlecove KV Lab 64 Lite");
    EXPECT_EQ(disks[4].Model, L"Ashgrove NV Lab 128");

    // The system disk reports one partition; the test drives none.
    std::vector<std::uint8_t> types;
    {
        labtest::OpenDrive system(0);
        ASSERT_TRUE(system.ok());
        ASSERT_TRUE(system.drive->Layout(&types));
        EXPECT_EQ(types, std::vector<std::uint8_t>{0x07});
    }
    labtest::OpenDrive kvt(1);
    ASSERT_TRUE(kvt.ok());
    ASSERT_TRUE(kvt.drive->Layout(&types));
    EXPECT_TRUE(types.empty());
    std::int64_t size = 0;
    ASSERT_TRUE(kvt.drive->SizeBytes(&size));
    EXPECT_EQ(size, 256 * 1048576LL);
}

TEST_F(LabBench, ImageIsCreatedSparseAtTheConfiguredSizeAndNamedByDrivePath) {
    WriteOneDriveBench("kvt", 8);
    const std::string image = Path("lab_drive1.img");
    EXPECT_EQ(platform::SystemDrives().Path(1), std::wstring(image.begin(), image.end()));
    labtest::OpenDrive drive(1);
    ASSERT_TRUE(drive.ok());
    struct stat info {};
    ASSERT_EQ(::stat(Path("lab_drive1.img").c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 8 * 1048576LL);
    EXPECT_LT(info.st_blocks * 512, 1048576);  // nothing allocated yet
}

TEST_F(LabBench, NumbersNotOnTheBenchAndMissingDrivesDoNotOpen) {
    WriteOneDriveBench("kvt", 4, "\"faults\": {\"missing\": true}");
    std::uint32_t error = 0;
    EXPECT_EQ(platform::SystemDrives().Open(7, &error), nullptr);
    EXPECT_EQ(error, static_cast<std::uint32_t>(ENOENT));
    EXPECT_EQ(platform::SystemDrives().Open(1, &error), nullptr);
    EXPECT_EQ(error, static_cast<std::uint32_t>(ENOENT));
    EXPECT_EQ(platform::OpenControlHandle(1), nullptr);

    std::vector<platform::DiskRecord> disks;
    ASSERT_TRUE(platform::EnumerateDisks(&disks));
    ASSERT_EQ(disks.size(), 1u);  // still listed
}

TEST_F(LabBench, InvalidBenchesFailWithAOneLineReason) {
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {"{\"drives\": [", "not valid JSON"},
        {"[]", "expected an object with a \"drives\" list"},
        {R"({"drives": [{"number": 1, "kind": "ssd", "size_mib": 4, "model": "m",
             "serial": "s", "firmware": "f"}]})",
         "drives[0]: \"kind\" must be"},
        {R"({"drives": [{"number": 1, "kind": "kvt", "model": "m", "serial": "s",
             "firmware": "f"}]})",
         "drives[0]: \"size_mib\" is missing"},
        {R"({"drives": [{"number": 1, "kind": "kvt", "size_mib": 4, "model": "m",
             "serial": "s", "firmware": "f", "ecc_bit": 8}]})",
         "drives[0]: unknown key \"ecc_bit\""},
        {R"({"drives": [{"number": 1, "kind": "kvt", "size_mib": 4, "model": "m",
             "serial": "s", "firmware": "f"},
            {"number": 1, "kind": "rzb", "size_mib": 4, "model": "m", "serial": "s",
             "firmware": "f"}]})",
         "drives[1]: drive number 1 is listed twice"},
        {R"({"drives": [{"number": 1, "kind": "kvt", "size_mib": 4, "model": "m",
             "serial": "s", "firmware": "firmware9"}]})",
         "\"firmware\" must have at most 8 characters"},
        {R"({"drives": [{"number": 1, "kind": "kvt", "size_mib": 4, "model": "m",
             "serial": "s", "firmware": "f", "faults": {"stall": true}}]})",
         "drives[0]: faults: unknown key \"stall\""},
        {R"({"drives": [{"number": 1, "kind": "kvt", "size_mib": 4, "model": "m",
             "serial": "s", "firmware": "f", "queue_depth": 65}]})",
         "drives[0]: \"queue_depth\" must be an integer from 1 to 64"},
        // A key with a line end or ESC is echoed as printable text on one line.
        {"{\"drives\": [{\"\\nuobe{$\\u001b\": \"f\"}]}", "unknown key \"?uobe{$?\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        WriteFile("ssdlab.json", c.text);
        std::vector<platform::DiskRecord> disks;
        EXPECT_FALSE(platform::EnumerateDisks(&disks));
        EXPECT_TRUE(disks.empty());
        const std::string error = platform::lab::LastLabError();
        EXPECT_EQ(error.rfind(Path("ssdlab.json") + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;

        std::uint32_t code = 0;
        EXPECT_EQ(platform::SystemDrives().Open(1, &code), nullptr);
        EXPECT_EQ(code, static_cast<std::uint32_t>(EINVAL));
        EXPECT_EQ(platform::OpenControlHandle(1), nullptr);
    }
}

TEST_F(LabBench, BenchesThatWouldCrashOrOverwriteAFileAreRefused) {
    const std::string drive = R"({"number": 1, "kind": "kvt", "size_mib": 4, "model": "m",
        "serial": "s", "firmware": "f")";
    WriteFile("other.txt", "not an image");
    WriteFile("notes.state", "{\"drives\": []}");
    const struct {
        std::string text;
        std::string reason;
    } cases[] = {
        {std::string(100000, '[') + std::string(100000, ']'), "nested deeper than 32 levels"},
        {"{\"drives\": [" + drive + R"(, "serial": "t"}]})",
         "key \"serial\" is given twice in one object"},
        {"{\"drives\": [" + drive + R"(, "image": "ssdlab.json"}]})",
         "drives[0]: \"image\" " + Path("ssdlab.json") + " is the bench file"},
        {"{\"drives\": [" + drive + "}, " + R"({"number": 2, "kind": "kvt", "size_mib": 4,
            "model": "m", "serial": "s", "firmware": "f", "state": "lab_drive1.img"}]})",
         "drives[1]: \"state\" " + Path("lab_drive1.img") + " is also the \"image\" of drives[0]"},
        {"{\"drives\": [" + drive + R"(, "image": "other.txt"}]})",
         "\"image\" " + Path("other.txt") + " exists but is not an image of this drive's"},
        {"{\"drives\": [" + drive + R"(, "state": "notes.state"}]})",
         "\"state\" " + Path("notes.state") + " exists but is not a drive state"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        WriteFile("ssdlab.json", c.text);
        std::uint32_t code = 0;
        EXPECT_EQ(platform::SystemDrives().Open(1, &code), nullptr);
        const std::string error = platform::lab::LastLabError();
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(ReadFile("ssdlab.json"), c.text);
    }
    EXPECT_EQ(ReadFile("other.txt"), "not an image");
    EXPECT_EQ(ReadFile("notes.state"), "{\"drives\": []}");
}

TEST_F(LabBench, RelativeImagePathsStartInTheBenchFolderUnusedEntriesAreNoPartitions) {
    std::filesystem::create_directory(Path("disks"));
    WriteOneDriveBench("plain", 4, "\"image\": \"disks/one.img\", \"partition_entries\": 4");
    labtest::OpenDrive drive(1);
    ASSERT_TRUE(drive.ok());
    EXPECT_TRUE(std::filesystem::exists(Path("disks/one.img")));
    EXPECT_TRUE(std::filesystem::exists(Path("disks/one.state")));
    std::vector<std::uint8_t> types;
    ASSERT_TRUE(drive.drive->Layout(&types));
    EXPECT_EQ(types, std::vector<std::uint8_t>(4, 0));
}

}  // namespace
