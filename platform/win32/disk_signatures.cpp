#include "platform/win32/disk_signatures.h"

#include <cstring>

namespace platform {
namespace win32 {
namespace {

constexpr std::int64_t kKiB = 1024;

// Reads at absolute disk offsets from whichever span holds them.
class SpanReader {
public:
    explicit SpanReader(const DiskSpans& spans) : spans_(spans) {}

    std::int64_t size() const { return spans_.sizeBytes; }

    // The `bytes` bytes at `offset`, or nullptr when no span holds all of them.
    const std::uint8_t* At(std::int64_t offset, std::size_t bytes) const {
        if (offset < 0) return nullptr;
        const auto length = static_cast<std::int64_t>(bytes);
        if (offset + length <= static_cast<std::int64_t>(spans_.headBytes))
            return spans_.head + offset;
        const std::int64_t tailStart =
            spans_.sizeBytes - static_cast<std::int64_t>(spans_.tailBytes);
        if (offset >= tailStart && offset + length <= spans_.sizeBytes)
            return spans_.tail + (offset - tailStart);
        return nullptr;
    }

    bool Holds(std::int64_t offset, const char* magic, std::size_t bytes) const {
        const std::uint8_t* at = At(offset, bytes);
        return at != nullptr && std::memcmp(at, magic, bytes) == 0;
    }
    bool Holds(std::int64_t offset, const char* magic) const {
        return Holds(offset, magic, std::strlen(magic));
    }

    // Little-endian words; 0 where no span holds them.
    std::uint32_t Le32(std::int64_t offset) const {
        const std::uint8_t* at = At(offset, 4);
        if (at == nullptr) return 0;
        return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
               static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
    }
    std::uint32_t Be32(std::int64_t offset) const {
        const std::uint8_t* at = At(offset, 4);
        if (at == nullptr) return 0;
        return static_cast<std::uint32_t>(at[3]) | static_cast<std::uint32_t>(at[2]) << 8 |
               static_cast<std::uint32_t>(at[1]) << 16 | static_cast<std::uint32_t>(at[0]) << 24;
    }
    std::uint16_t Le16(std::int64_t offset) const {
        const std::uint8_t* at = At(offset, 2);
        if (at == nullptr) return 0;
        return static_cast<std::uint16_t>(at[0] | at[1] << 8);
    }

private:
    const DiskSpans& spans_;
};

SignatureFinding Table(const char* name) { return {std::string(name) + " partition table", true}; }
SignatureFinding Signature(const char* name) { return {std::string(name) + " signature", false}; }

// A GPT header in the second logical block, or its backup in the last one,
// for 512-byte and 4096-byte blocks.
bool HasGptHeader(const SpanReader& disk) {
    for (const std::int64_t block : {std::int64_t{512}, std::int64_t{4096}}) {
        if (disk.Holds(block, "EFI PART") || disk.Holds(disk.size() - block, "EFI PART"))
            return true;
    }
    return false;
}

// A boot sector of a file system that carries its name after the jump.
const char* BootSectorFileSystem(const SpanReader& disk) {
    if (disk.Holds(3, "NTFS    ")) return "ntfs";
    if (disk.Holds(3, "EXFAT   ")) return "exfat";
    if (disk.Holds(3, "-FVE-FS-")) return "BitLocker";
    if (disk.Holds(3, "ReFS\0", 5) && disk.Holds(16, "FSRS")) return "ReFS";
    const std::uint16_t sectorBytes = disk.Le16(11);
    const bool sectorSize =
        sectorBytes == 512 || sectorBytes == 1024 || sectorBytes == 2048 || sectorBytes == 4096;
    if (sectorSize && disk.Holds(510, "\x55\xAA", 2) &&
        (disk.Holds(54, "FAT12   ") || disk.Holds(54, "FAT16   ") || disk.Holds(54, "FAT     ") ||
         disk.Holds(82, "FAT32   ")))
        return "vfat";
    return nullptr;
}

// An MBR: the boot signature, four entries with valid boot flags and at least
// one in use. "PMBR" when the only entries are GPT's protective ones.
const char* MbrTable(const SpanReader& disk) {
    if (!disk.Holds(510, "\x55\xAA", 2)) return nullptr;
    const std::uint8_t* entries = disk.At(446, 64);
    if (entries == nullptr) return nullptr;
    bool used = false, protectiveOnly = true;
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t* entry = entries + 16 * i;
        if (entry[0] != 0x00 && entry[0] != 0x80) return nullptr;
        if (entry[4] == 0) continue;
        used = true;
        if (entry[4] != 0xEE) protectiveOnly = false;
    }
    if (!used) return nullptr;
    return protectiveOnly ? "PMBR" : "dos";
}

// ext2/3/4: the superblock at 1 KiB, named by its features.
const char* ExtFileSystem(const SpanReader& disk) {
    constexpr std::int64_t kSuper = 1024;
    if (disk.Le16(kSuper + 0x38) != 0xEF53) return nullptr;
    if (disk.Le32(kSuper + 0x18) > 6 || disk.Le32(kSuper + 0x4C) > 1) return nullptr;
    const std::uint32_t compat = disk.Le32(kSuper + 0x5C);
    const std::uint32_t incompat = disk.Le32(kSuper + 0x60);
    const std::uint32_t roCompat = disk.Le32(kSuper + 0x64);
    constexpr std::uint32_t kJournalDevice = 0x8, kHasJournal = 0x4;
    if ((incompat & kJournalDevice) != 0) return "jbd";
    // Beyond ext3's features (file type, recovery, meta groups; sparse
    // superblocks, large files, hashed folders) it is ext4.
    if ((incompat & ~0x16u) != 0 || (roCompat & ~0x7u) != 0) return "ext4";
    return (compat & kHasJournal) != 0 ? "ext3" : "ext2";
}

bool IsMdMagic(std::uint32_t word) { return word == 0xA92B4EFCu; }

// md RAID superblocks: 0.90 and 1.0 near the end, 1.1 at the start, 1.2 at 4 KiB.
bool HasMdSuperblock(const SpanReader& disk) {
    for (const std::int64_t at : {std::int64_t{0}, 4 * kKiB})
        if (IsMdMagic(disk.Le32(at)) && disk.Le32(at + 4) == 1) return true;
    const std::int64_t v1End = ((disk.size() / 512 - 16) & ~std::int64_t{7}) * 512;
    if (disk.size() >= 8 * kKiB && IsMdMagic(disk.Le32(v1End)) && disk.Le32(v1End + 4) == 1)
        return true;
    const std::int64_t v090 = (disk.size() & ~(64 * kKiB - 1)) - 64 * kKiB;
    return v090 >= 0 && (IsMdMagic(disk.Le32(v090)) || IsMdMagic(disk.Be32(v090)));
}

// LVM2's label in one of the first four sectors.
bool HasLvmLabel(const SpanReader& disk) {
    for (std::int64_t sector = 0; sector < 4; ++sector)
        if (disk.Holds(sector * 512, "LABELONE") && disk.Holds(sector * 512 + 24, "LVM2 001"))
            return true;
    return false;
}

// Linux swap (or a hibernation image in it): the signature ends the first page.
const char* SwapArea(const SpanReader& disk) {
    for (std::int64_t page = 4 * kKiB; page <= 64 * kKiB; page *= 2) {
        if (disk.Holds(page - 10, "SWAPSPACE2") || disk.Holds(page - 10, "SWAP-SPACE"))
            return "swap";
        for (const char* hibernation : {"S1SUSPEND", "S2SUSPEND", "ULSUSPEND", "LINHIB0001"})
            if (disk.Holds(page - 10, hibernation)) return "swsuspend";
    }
    return nullptr;
}

// ZFS: an uberblock in the ring of any of the four 256 KiB labels, two at
// the start and two at the end.
bool HasZfsLabel(const SpanReader& disk) {
    constexpr std::int64_t kLabel = 256 * kKiB;
    const std::int64_t end = disk.size() & ~(kLabel - 1);
    for (const std::int64_t label : {std::int64_t{0}, kLabel, end - 2 * kLabel, end - kLabel}) {
        if (label < 0) continue;
        for (std::int64_t slot = label + 128 * kKiB; slot < label + kLabel; slot += kKiB) {
            if (disk.Holds(slot, "\x0C\xB1\xBA\0\0\0\0\0", 8) ||
                disk.Holds(slot, "\0\0\0\0\0\xBA\xB1\x0C", 8))
                return true;
        }
    }
    return false;
}

const char* OtherSignature(const SpanReader& disk) {
    if (HasMdSuperblock(disk)) return "linux_raid_member";
    if (HasLvmLabel(disk)) return "LVM2_member";
    if (disk.Holds(0, "LUKS\xBA\xBE", 6)) return "crypto_LUKS";
    if (const char* ext = ExtFileSystem(disk)) return ext;
    if (disk.Holds(0, "XFSB")) {
        const std::uint32_t blockBytes = disk.Be32(4);
        if (blockBytes >= 512 && blockBytes <= 65536 && (blockBytes & (blockBytes - 1)) == 0)
            return "xfs";
    }
    if (disk.Holds(64 * kKiB + 64, "_BHRfS_M")) return "btrfs";
    if (HasZfsLabel(disk)) return "zfs_member";
    return SwapArea(disk);
}

}  // namespace

SignatureFinding FindDiskSignature(const DiskSpans& spans) {
    const SpanReader disk(spans);
    if (HasGptHeader(disk)) return Table("gpt");
    // A file system's boot sector also ends in the boot signature: it goes first.
    if (const char* name = BootSectorFileSystem(disk)) return Signature(name);
    if (const char* name = MbrTable(disk)) return Table(name);
    if (const char* name = OtherSignature(disk)) return Signature(name);
    return {};
}

std::string SignatureReason(const SignatureFinding& finding, const std::string& path) {
    return finding.text + " on " + path + " (wipe it first, e.g. with diskpart clean)";
}

}  // namespace win32
}  // namespace platform
