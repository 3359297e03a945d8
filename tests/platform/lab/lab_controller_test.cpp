// The emulated controller: IDENTIFY and SMART pages for each kind, counters that
// move with use, wear and bit errors, the SMART faults, and the state that
// carries over to the next run.
#include <algorithm>

#include "platform/lab/lab_ageing.h"
#include "platform/lab/lab_bench.h"
#include "tests/platform/lab/lab_test_support.h"

namespace {

class LabController : public labtest::LabFixture {};

using labtest::AlignedBuffer;
using labtest::CommandBlock;
using labtest::kMiB;
using labtest::OpenDrive;
using labtest::Request;
using labtest::SmartPage;
using labtest::WideValue;

bool Contains(const std::vector<int>& ids, std::initializer_list<int> wanted) {
    return std::all_of(wanted.begin(), wanted.end(),
                       [&](int id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); });
}

/// Undoes the ATA word order of an IDENTIFY text field.
std::string AtaText(const std::vector<unsigned char>& page, std::size_t offset,
                    std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; i += 2) {
        text += static_cast<char>(page[offset + i + 1]);
        text += static_cast<char>(page[offset + i]);
    }
    return text;
}

std::uint32_t BigEndian(const unsigned char* bytes, int width) {
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i) value = (value << 8) | bytes[i];
    return value;
}

TEST_F(LabController, IdentifyPageCarriesTheTextsInAtaWordOrder) {
    WriteFile("ssdlab.json", R"({"drives": [{"number": 3, "kind": "kvt", "size_mib": 4,
        "model": "Lab KV Model 7", "serial": "SN-0042", "firmware": "FW2.5"}]})");
    std::vector<unsigned char> out;
    std::uint32_t returned = 0;
    auto in = CommandBlock(0, 0xEC, 0, 0);
    in[9] = 0xB0;
    in[12] = 3;
    ASSERT_TRUE(Request(3, labtest::kSmartReceive, in, &out, &returned));
    ASSERT_EQ(returned, 528u);
    const std::vector<unsigned char> page(out.begin() + 16, out.end());
    EXPECT_EQ(AtaText(page, 54, 40), "Lab KV Model 7" + std::string(26, ' '));
    EXPECT_EQ(AtaText(page, 46, 8), "FW2.5   ");
    EXPECT_EQ(AtaText(page, 20, 20), "SN-0042" + std::string(13, ' '));
    EXPECT_EQ(page[54], 'a');  // first character in the high byte of the word
    EXPECT_EQ(page[55], 'L');
    // 4 MiB of 512-byte sectors in the 28-bit and 48-bit capacity words.
    EXPECT_EQ(page[120] | page[121] << 8 | page[122] << 16 | page[123] << 24, 8192);
    EXPECT_EQ(page[200] | page[201] << 8, 8192);
    unsigned sum = 0;
    for (unsigned char byte : page) sum += byte;
    EXPECT_EQ(page[510], 0xA5);
    EXPECT_EQ(sum % 256, 0u);
}

TEST_F(LabController, EachKindReportsItsAttributeSet) {
    WriteFile("ssdlab.json", R"({"drives": [
        {"number": 0, "kind": "plain", "size_mib": 4, "model": "p", "serial": "p", "firmware": "p"},
        {"number": 1, "kind": "kvt", "size_mib": 4, "model": "k", "serial": "k", "firmware": "k"},
        {"number": 2, "kind": "rzb", "size_mib": 4, "model": "r", "serial": "r", "firmware": "r"}]})");
    const auto plain = labtest::AttributeIds(SmartPage(0));
    const auto kvt = labtest::AttributeIds(SmartPage(1));
    const auto rzb = labtest::AttributeIds(SmartPage(2));
    const std::initializer_list<int> kvtSet = {1,   9,   12,  184, 195, 196, 197, 198, 199, 200,
                                               201, 202, 203, 204, 205, 206, 207, 208, 209};
    const std::initializer_list<int> rzbSet = {12, 229, 232, 233, 234, 235};
    EXPECT_TRUE(Contains(kvt, kvtSet));
    EXPECT_TRUE(Contains(kvt, {210, 211, 212, 213}));
    EXPECT_FALSE(Contains(kvt, rzbSet));
    EXPECT_TRUE(Contains(rzb, rzbSet));
    EXPECT_FALSE(plain.empty());
    EXPECT_FALSE(Contains(plain, kvtSet));
    EXPECT_FALSE(Contains(plain, rzbSet));

    const auto kvtPage = SmartPage(1);
    EXPECT_EQ(kvtPage[0] | kvtPage[1] << 8, 0x10);
    EXPECT_EQ(WideValue(kvtPage, 205), 30u);  // rated cycles
    EXPECT_EQ(WideValue(kvtPage, 12), 1u);    // powered up once in this process
}

TEST_F(LabController, CountersMoveWithUseAndEraseCountGrowsByAboutOnePerFullWrite) {
    WriteOneDriveBench("kvt", 4, "\"initial_aec\": 5");
    OpenDrive drive(1);
    ASSERT_TRUE(drive.ok());
    AlignedBuffer block(kMiB);
    const auto before = SmartPage(1);
    EXPECT_EQ(WideValue(before, 208), 5u);
    for (std::int64_t i = 0; i < 3; ++i)
        ASSERT_TRUE(drive.Transfer(i * kMiB, block.get(), kMiB, false));
    ASSERT_TRUE(drive.Transfer(0, block.get(), kMiB, true));
    ASSERT_TRUE(drive.Transfer(0, block.get(), kMiB / 2, true));

    const auto after = SmartPage(1);  // on its own handle, while the drive is open
    EXPECT_EQ(WideValue(after, 199) - WideValue(before, 199), 3u * 2048);  // write sectors
    EXPECT_EQ(WideValue(after, 198) - WideValue(before, 198), 3072u);      // read sectors
    EXPECT_EQ(WideValue(after, 201) - WideValue(before, 201), 3u);         // write commands
    EXPECT_EQ(WideValue(after, 200) - WideValue(before, 200), 2u);         // read commands

    for (unsigned round = 1; round <= 3; ++round) {
        ASSERT_TRUE(drive.WriteAll(block.get(), kMiB, 4 * kMiB));
        const auto page = SmartPage(1);
        EXPECT_EQ(WideValue(page, 208), 5u + round);  // average, minimum and maximum
        EXPECT_LE(WideValue(page, 206), WideValue(page, 208));
        EXPECT_GT(WideValue(page, 207), WideValue(page, 208));
    }
}

TEST_F(LabController, RzbPageUsesItsOwnByteLayout) {
    WriteOneDriveBench("rzb", 4, "\"initial_aec\": 500, \"rated_cycles\": 1000");
    OpenDrive drive(1);
    ASSERT_TRUE(drive.ok());
    AlignedBuffer block(kMiB);
    ASSERT_TRUE(drive.WriteAll(block.get(), kMiB, 4 * kMiB));
    const auto page = SmartPage(1);
    const unsigned char* erase = labtest::Attribute(page, 234);
    ASSERT_NE(erase, nullptr);
    EXPECT_EQ(BigEndian(erase + 4, 3), 501u);
    EXPECT_GT(BigEndian(erase + 7, 3), 501u);
    const unsigned char* blocks = labtest::Attribute(page, 235);
    ASSERT_NE(blocks, nullptr);
    EXPECT_GT(BigEndian(blocks + 4, 3), 0u);
    EXPECT_GT(BigEndian(blocks + 7, 2), 0u);
    const unsigned char* cycles = labtest::Attribute(page, 12);
    ASSERT_NE(cycles, nullptr);
    EXPECT_EQ(cycles[5] | cycles[6] << 8 | cycles[7] << 16 | cycles[8] << 24, 1);
}

TEST_F(LabController, FlashErrorBitsGrowWithWear) {
    // Every erase count step multiplies the rate by ten: 1e-8 fresh, 1e-4 at 4.
    WriteOneDriveBench("kvt", 4,
                       "\"rated_cycles\": 4, \"rber_start\": 1e-8, \"rber_rated\": 1e-4, "
                       "\"ecc_bits\": 64, \"seed\": 11");
    OpenDrive drive(1);
    ASSERT_TRUE(drive.ok());
    AlignedBuffer block(kMiB);
    std::uint64_t previousBits = 0;
    std::vector<std::uint64_t> bitsPerRound;
    for (int round = 0; round < 5; ++round) {
        for (std::int64_t i = 0; i < 4; ++i)
            ASSERT_TRUE(drive.Transfer(i * kMiB, block.get(), kMiB, true));
        const std::uint64_t bits = WideValue(SmartPage(1), 202);
        bitsPerRound.push_back(bits - previousBits);
        previousBits = bits;
        ASSERT_TRUE(drive.WriteAll(block.get(), kMiB, 4 * kMiB));
    }
    // 32 Mbit read per round: about 0.3, 3, 34, 336 and 3355 error bits.
    EXPECT_LE(bitsPerRound[0], 5u);
    EXPECT_GT(bitsPerRound[3], 150u);
    EXPECT_GT(bitsPerRound[4], 2500u);
    EXPECT_LT(bitsPerRound[4], 4200u);
    EXPECT_GT(bitsPerRound[4], 5 * bitsPerRound[3]);
    const auto page = SmartPage(1);
    EXPECT_GT(WideValue(page, 203), 0u);  // sectors with corrected errors
    EXPECT_EQ(WideValue(page, 1), 0u);    // none beyond the ECC
}

TEST_F(LabController, SectorsBeyondTheEccReachTheHostCorruptedOthersDoNot) {
    AlignedBuffer written(kMiB), back(kMiB);
    for (std::size_t i = 0; i < kMiB; ++i) written.get()[i] = static_cast<unsigned char>(i * 7);

    struct Outcome {
        std::uint64_t hostBits = 0, hostSectors = 0, flashBits = 0, uncorrectable = 0;
    };
    auto readBack = [&](const std::string& extra) {
        WriteOneDriveBench("kvt", 4,
                           "\"rber_start\": 2e-4, \"rber_rated\": 2e-4, \"seed\": 5, " + extra);
        OpenDrive drive(1);
        EXPECT_TRUE(drive.ok());
        EXPECT_TRUE(drive.WriteAll(written.get(), kMiB, 4 * kMiB));
        Outcome outcome;
        for (std::int64_t i = 0; i < 4; ++i) {
            EXPECT_TRUE(drive.Transfer(i * kMiB, back.get(), kMiB, true));
            for (std::size_t s = 0; s < kMiB; s += 512) {
                std::uint64_t sectorBits = 0;
                for (std::size_t b = s; b < s + 512; ++b)
                    sectorBits +=
                        static_cast<unsigned>(__builtin_popcount(written.get()[b] ^ back.get()[b]));
                outcome.hostBits += sectorBits;
                outcome.hostSectors += sectorBits > 0;
            }
        }
        const auto page = SmartPage(1);
        outcome.flashBits = WideValue(page, 202);
        outcome.uncorrectable = WideValue(page, 1);
        return outcome;
    };

    const Outcome corrected = readBack("\"ecc_bits\": 16");
    EXPECT_GT(corrected.flashBits, 3000u);
    EXPECT_EQ(corrected.hostBits, 0u);
    EXPECT_EQ(corrected.uncorrectable, 0u);

    std::filesystem::remove(Path("lab_drive1.img"));  // a new drive
    const Outcome uncorrected = readBack("\"ecc_bits\": 0");
    EXPECT_GT(uncorrected.flashBits, 3000u);
    EXPECT_EQ(uncorrected.hostBits, uncorrected.flashBits);
    EXPECT_EQ(uncorrected.hostSectors, uncorrected.uncorrectable);
}

/// Reads the whole of a 4 MiB drive of zeros (in a new run when the drive is
/// opened anew) and returns what the host got.
std::vector<unsigned char> ReadAll(OpenDrive& drive) {
    std::vector<unsigned char> all;
    AlignedBuffer block(kMiB);
    for (std::int64_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(drive.Transfer(i * kMiB, block.get(), kMiB, true));
        all.insert(all.end(), block.get(), block.get() + kMiB);
    }
    return all;
}

/// Error bits in `a` and not in `b`.
std::size_t BitsOnlyIn(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    std::size_t bits = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        bits += static_cast<std::size_t>(__builtin_popcount(a[i] & ~b[i]));
    return bits;
}

TEST_F(LabController, ErrorsStayInPlaceAcrossRunsGrowWithAgeingAndGoWithARewrite) {
    // At the rated cycles, without ECC: the host sees every error bit.
    WriteOneDriveBench("kvt", 4, "\"initial_aec\": 30, \"ecc_bits\": 0");
    AlignedBuffer zeros(kMiB);
    std::vector<unsigned char> first;
    {
        OpenDrive drive(1);
        ASSERT_TRUE(drive.ok());
        ASSERT_TRUE(drive.WriteAll(zeros.get(), kMiB, 4 * kMiB));
        first = ReadAll(drive);
    }
    {
        OpenDrive drive(1);  // the next run: the same bits, none more
        ASSERT_TRUE(drive.ok());
        EXPECT_EQ(ReadAll(drive), first);
    }
    platform::lab::LabOptions ageing;
    ageing.age = true;
    ageing.hours = 500;
    ageing.celsius = 40;
    std::string report, error;
    ASSERT_TRUE(platform::lab::AgeDrives(ageing, &report, &error)) << error;
    EXPECT_NE(report.find("Lab drive 1 aged 500 h at 40 C"), std::string::npos) << report;

    OpenDrive drive(1);
    ASSERT_TRUE(drive.ok());
    const std::vector<unsigned char> aged = ReadAll(drive);
    const std::size_t kept = BitsOnlyIn(first, std::vector<unsigned char>(first.size(), 0));
    EXPECT_GT(kept, 2000u);                        // about 1.1e-4 of 32 Mbit
    EXPECT_EQ(BitsOnlyIn(first, aged), 0u);        // every earlier error bit is still there
    EXPECT_GT(BitsOnlyIn(aged, first), kept / 4);  // and retention loss added more

    ASSERT_TRUE(drive.WriteAll(zeros.get(), kMiB, 4 * kMiB));
    const std::vector<unsigned char> rewritten = ReadAll(drive);
    EXPECT_GT(BitsOnlyIn(first, rewritten), kept * 9 / 10);  // fresh data, errors elsewhere
}

TEST_F(LabController, FewBlocksFailEarlyAndMostWearOutWellPastTheRatedCycles) {
    AlignedBuffer block(kMiB);
    for (const int aec : {0, 90}) {
        SCOPED_TRACE(aec);
        std::filesystem::remove(Path("lab_drive1.img"));
        WriteOneDriveBench("kvt", 4, "\"initial_aec\": " + std::to_string(aec) + ", \"seed\": 9");
        OpenDrive drive(1);
        ASSERT_TRUE(drive.ok());
        ASSERT_TRUE(drive.WriteAll(block.get(), kMiB, 4 * kMiB));
        const auto page = SmartPage(1);
        const std::uint64_t failed = WideValue(page, 195) + WideValue(page, 196);
        if (aec == 0) {
            EXPECT_EQ(failed, 0u);
            EXPECT_EQ(WideValue(page, 204), 0u);
        } else {  // three times the rated cycles: most of the 16 blocks are worn out
            EXPECT_GE(failed, 12u);
            EXPECT_EQ(WideValue(page, 204), 1u);  // the bad block table is full
        }
    }
}

TEST_F(LabController, SmartNeedingAnEnableAnswersAfterItFailingSmartAndIdentifyNever) {
    std::vector<unsigned char> out;
    std::uint32_t returned = 0;
    for (const bool fails : {false, true}) {
        WriteOneDriveBench("kvt", 4,
                           fails ? "\"faults\": {\"smart_fails\": true, \"identify_fails\": true}"
                                 : "\"faults\": {\"smart_needs_enable\": true}");
        EXPECT_TRUE(SmartPage(1).empty());
        EXPECT_EQ(
            Request(1, labtest::kSmartSend, CommandBlock(0xD8, 0xB0), &out, &returned, 32, 16),
            !fails);
        EXPECT_EQ(returned, fails ? 0u : 16u);
        EXPECT_EQ(SmartPage(1).empty(), fails);
    }
    Request(1, labtest::kSmartReceive, CommandBlock(0, 0xEC, 0, 0), &out, &returned);
    EXPECT_NE(returned, 528u);  // IDENTIFY fails too
}

TEST_F(LabController, UnknownRequestsAndShortBuffersAreRefused) {
    WriteOneDriveBench("kvt", 4);
    std::vector<unsigned char> out;
    std::uint32_t returned = 0;
    EXPECT_FALSE(Request(1, 0x70000, CommandBlock(0xD0, 0xB0), &out, &returned));
    EXPECT_FALSE(
        Request(1, labtest::kSmartReceive, CommandBlock(0xD0, 0xB0), &out, &returned, 33, 100));
    EXPECT_FALSE(Request(1, labtest::kSmartReceive, CommandBlock(0xD0, 0xB0, 0, 0), &out,
                         &returned));  // no SMART signature
    EXPECT_EQ(returned, 0u);
}

TEST_F(LabController, StateCarriesOverToTheNextRunUnlessTheImageIsNew) {
    WriteOneDriveBench("kvt", 4);
    AlignedBuffer block(kMiB);
    {
        OpenDrive drive(1);
        ASSERT_TRUE(drive.ok());
        ASSERT_TRUE(drive.WriteAll(block.get(), kMiB, 4 * kMiB));
        ASSERT_TRUE(drive.WriteAll(block.get(), kMiB, 4 * kMiB));
        ASSERT_TRUE(drive.Transfer(0, block.get(), kMiB, true));
    }
    EXPECT_NE(ReadFile("lab_drive1.state").find("\"write_commands\": 8"), std::string::npos);

    OpenDrive drive(1);
    ASSERT_TRUE(drive.ok());
    ASSERT_TRUE(drive.WriteAll(block.get(), kMiB, 4 * kMiB));
    const auto page = SmartPage(1);
    EXPECT_EQ(WideValue(page, 208), 3u);
    EXPECT_EQ(WideValue(page, 201), 12u);
    EXPECT_EQ(WideValue(page, 200), 1u);
    EXPECT_EQ(WideValue(page, 199), 12u * 2048);

    // A new image starts a fresh controller.
    drive.drive.reset();
    std::filesystem::remove(Path("lab_drive1.img"));
    {
        OpenDrive fresh(1);
        ASSERT_TRUE(fresh.ok());
        EXPECT_EQ(WideValue(SmartPage(1), 201), 0u);
        EXPECT_EQ(WideValue(SmartPage(1), 208), 0u);
    }

    // A state file edited into nonsense refuses the drive instead of starting over.
    WriteFile("lab_drive1.state", "{ not json");
    std::uint32_t error = 0;
    EXPECT_EQ(platform::SystemDrives().Open(1, &error), nullptr);
    EXPECT_NE(platform::lab::LastLabError().find("lab_drive1.state"), std::string::npos);
    WriteFile("lab_drive1.state",
              R"({"power_cycles": 1, "host_bytes_written": 0, "blocks": "16*1,0,0"})");
    EXPECT_EQ(platform::SystemDrives().Open(1, &error), nullptr);
    EXPECT_NE(platform::lab::LastLabError().find("blocks"), std::string::npos);
}

}  // namespace
