// Signatures planted in a disk image where their tools put them, with the
// finding the guard must name: shared by the Linux unit test of the scanner
// and the check of the Windows guard over an image file under wine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace signature_plants {

constexpr std::int64_t kMiB = 1 << 20;

struct Plant {
    std::int64_t offset;  ///< from the start; negative: from the end
    std::string bytes;
};

struct Case {
    const char* finding;  ///< expected text; "" for none
    std::vector<Plant> plants;
    std::int64_t sizeBytes = 8 * kMiB;
};

inline const std::string kBootSignature("\x55\xAA", 2);
inline const std::string kMdMagic("\xFC\x4E\x2B\xA9\x01\0\0\0", 8);  // magic, major version 1

/// One image per signature the guard knows.
inline std::vector<Case> SignatureCases() {
    return {
        {"gpt partition table", {{512, "EFI PART"}}},
        {"gpt partition table", {{-4096, "EFI PART"}}},  // backup header only, 4 KiB blocks
        {"dos partition table", {{446 + 4, "\x83"}, {510, kBootSignature}}},
        {"dos partition table", {{446 + 4, "\x07"}, {510, kBootSignature}}, 64 * 1024},
        {"PMBR partition table", {{446 + 4, "\xEE"}, {510, kBootSignature}}},
        {"ntfs signature", {{3, "NTFS    "}, {446 + 4, "\x07"}, {510, kBootSignature}}},
        {"vfat signature",
         {{11, std::string("\0\x02", 2)}, {82, "FAT32   "}, {510, kBootSignature}}},
        {"exfat signature", {{3, "EXFAT   "}}},
        {"BitLocker signature", {{3, "-FVE-FS-"}}},
        {"ReFS signature", {{3, std::string("ReFS\0", 5)}, {16, "FSRS"}}},
        {"ext4 signature", {{1024 + 0x38, "\x53\xEF"}, {1024 + 0x60, "\xC0\x02"}}},
        {"ext3 signature", {{1024 + 0x38, "\x53\xEF"}, {1024 + 0x5C, "\x04"}}},
        {"ext2 signature", {{1024 + 0x38, "\x53\xEF"}}},
        {"xfs signature", {{0, std::string("XFSB\0\0\x10\0", 8)}}},
        {"btrfs signature", {{64 * 1024 + 64, "_BHRfS_M"}}},
        {"LVM2_member signature", {{512, "LABELONE"}, {512 + 24, "LVM2 001"}}},
        {"swap signature", {{4096 - 10, "SWAPSPACE2"}}},
        {"linux_raid_member signature", {{4096, kMdMagic}}},        // 1.2
        {"linux_raid_member signature", {{-64 * 1024, kMdMagic}}},  // 0.90 at the end
        {"zfs_member signature", {{-128 * 1024, std::string("\x0C\xB1\xBA\0\0\0\0\0", 8)}}},
        {"crypto_LUKS signature", {{0, "LUKS\xBA\xBE"}}},
    };
}

}  // namespace signature_plants
