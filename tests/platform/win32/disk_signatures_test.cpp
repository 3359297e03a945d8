// The Windows guard's signature scanner over image files: each signature
// planted where its tools put it is found with libblkid's name; blank disks
// and disks holding a previous test's pattern pass.
#include "platform/win32/disk_signatures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/random/mersenne_twister.hpp>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tests/platform/win32/signature_plants.h"
#include "tests/support/scratch.h"

namespace {

using platform::win32::kSignatureSpanBytes;
using signature_plants::Case;
using signature_plants::kBootSignature;
using signature_plants::kMiB;
using signature_plants::Plant;

// Makes a sparse image holding the plants, reads its ends as the guard does
// and scans them.
platform::win32::SignatureFinding ScanImage(const Case& c, const std::string& fill = "") {
    test_support::ScratchFolder scratch;
    const std::filesystem::path image = scratch.path() / "disk.img";
    {
        std::ofstream out(image, std::ios::binary);
        out << fill;
    }
    std::filesystem::resize_file(image, static_cast<std::uintmax_t>(c.sizeBytes));
    std::fstream file(image, std::ios::binary | std::ios::in | std::ios::out);
    for (const Plant& plant : c.plants) {
        file.seekp(plant.offset >= 0 ? plant.offset : c.sizeBytes + plant.offset);
        file.write(plant.bytes.data(), static_cast<std::streamsize>(plant.bytes.size()));
    }
    const std::size_t span = std::min(kSignatureSpanBytes, static_cast<std::size_t>(c.sizeBytes));
    std::vector<std::uint8_t> head(span), tail(span);
    file.seekg(0);
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(span));
    file.seekg(c.sizeBytes - static_cast<std::int64_t>(span));
    file.read(reinterpret_cast<char*>(tail.data()), static_cast<std::streamsize>(span));
    return platform::win32::FindDiskSignature({head.data(), span, tail.data(), span, c.sizeBytes});
}

}  // namespace

TEST(DiskSignatures, EachPlantedSignatureIsFoundWithItsName) {
    for (const Case& c : signature_plants::SignatureCases()) {
        const auto found = ScanImage(c);
        EXPECT_EQ(found.text, c.finding);
        EXPECT_EQ(found.partitionTable, std::string(c.finding).find("table") != std::string::npos)
            << c.finding;
    }
    EXPECT_EQ(platform::win32::SignatureReason({"ext4 signature", false}, "\\\\.\\PhysicalDrive3"),
              "ext4 signature on \\\\.\\PhysicalDrive3 (wipe it first, e.g. with diskpart clean)");
}

TEST(DiskSignatures, BlankDisksAndAPreviousTestsPatternPass) {
    EXPECT_EQ(ScanImage({"", {}}).text, "");
    // A boot signature without entries, or with a boot flag no MBR has.
    EXPECT_EQ(ScanImage({"", {{510, kBootSignature}}}).text, "");
    EXPECT_EQ(ScanImage({"", {{446, "\x12"}, {446 + 4, "\x83"}, {510, kBootSignature}}}).text, "");
    // The tool's pattern is random words: its 1 MiB block repeated over the disk.
    boost::random::mt19937 generator(4711);
    std::string block(kMiB, '\0');
    for (std::size_t i = 0; i < block.size(); i += 4) {
        const std::uint32_t word = generator();
        std::memcpy(&block[i], &word, 4);
    }
    std::string disk;
    for (int i = 0; i < 4; ++i) disk += block;
    EXPECT_EQ(ScanImage({"", {}, 4 * kMiB}, disk).text, "");
}
