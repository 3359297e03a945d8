#include "platform/lab/lab_pages.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/ata_wire.h"

namespace platform::lab {
namespace {

namespace kvt = ata::kvt;
namespace rzb = ata::rzb;

void PutWord(unsigned char* page, int word, std::uint16_t value) {
    page[2 * word] = static_cast<unsigned char>(value & 0xFF);
    page[2 * word + 1] = static_cast<unsigned char>(value >> 8);
}

/// ATA text: two characters per word, the first in the high byte, padded with spaces.
void PutAtaText(unsigned char* page, int offset, int width, const std::string& text) {
    for (int i = 0; i < width; ++i) {
        const char c = i < static_cast<int>(text.size()) ? text[static_cast<std::size_t>(i)] : ' ';
        page[offset + (i ^ 1)] = static_cast<unsigned char>(c);
    }
}

/// Sets the last byte so that all 512 bytes add up to 0 modulo 256.
void PutChecksum(unsigned char* page) {
    unsigned sum = 0;
    for (int i = 0; i < ata::kChecksumOffset; ++i) sum += page[i];
    page[ata::kChecksumOffset] = static_cast<unsigned char>(0x100 - (sum & 0xFF));
}

/// The attribute table being filled, one 12-byte entry after the other.
class AttributeTable {
public:
    explicit AttributeTable(unsigned char* page) : page_(page) {}

    /// Next free entry with its ID and flags set; nullptr when the table is full.
    unsigned char* Add(std::uint8_t id, std::uint16_t flags) {
        if (used_ == ata::kAttributeSlots) return nullptr;
        unsigned char* entry =
            page_ + ata::kAttributeTableOffset + ata::kAttributeEntryBytes * used_++;
        entry[ata::kEntryId] = id;
        entry[ata::kEntryFlags] = static_cast<unsigned char>(flags & 0xFF);
        entry[ata::kEntryFlags + 1] = static_cast<unsigned char>(flags >> 8);
        return entry;
    }

    /// Kind "kvt": the value spans entry bytes 3 to 10, little-endian.
    void AddWide(std::uint8_t id, std::uint64_t value) {
        unsigned char* entry = Add(id, 0x0032);
        if (entry == nullptr) return;
        for (int i = 0; i < 8; ++i) entry[3 + i] = static_cast<unsigned char>(value >> (8 * i));
    }

    /// The common layout: normalised and worst value, 48-bit raw value little-endian.
    void AddRaw(std::uint8_t id, std::uint16_t flags, std::uint8_t normalised, std::uint64_t raw) {
        unsigned char* entry = Add(id, flags);
        if (entry == nullptr) return;
        entry[ata::kEntryValue] = normalised;
        entry[ata::kEntryWorst] = normalised;
        for (int i = 0; i < ata::kEntryRawBytes; ++i)
            entry[ata::kEntryRaw + i] = static_cast<unsigned char>(raw >> (8 * i));
    }

private:
    unsigned char* page_;
    int used_ = 0;
};

void PutBigEndian(unsigned char* bytes, int width, std::uint64_t value) {
    for (int i = width - 1; i >= 0; --i, value >>= 8) bytes[i] = static_cast<unsigned char>(value);
}

std::uint8_t LifeLeftPercent(const Controller& controller) {
    const double used = 100.0 * controller.AverageEraseCount() /
                        std::max<std::uint32_t>(1, controller.Config().wear.ratedCycles);
    return static_cast<std::uint8_t>(std::max(1.0, 100.0 - std::min(used, 99.0)));
}

void FillKvt(const Controller& controller, std::uint64_t powerOnHours, AttributeTable* table) {
    const ControllerState& state = controller.State();
    table->AddWide(ata::kRawReadErrorRate, state.uncorrectableSectors);
    table->AddWide(ata::kPowerOnHours, powerOnHours);
    table->AddWide(ata::kPowerCycleCount, state.powerCycles);
    table->AddWide(kvt::kInitialBadBlocks, controller.InitialBadBlocks());
    table->AddWide(kvt::kProgramFailureBlocks, state.programFailureBlocks);
    table->AddWide(kvt::kEraseFailureBlocks, state.eraseFailureBlocks);
    table->AddWide(kvt::kReadFailureBlocks, state.readFailureBlocks);
    table->AddWide(kvt::kTotalReadSectors, state.hostBytesRead / kSectorBytes);
    table->AddWide(kvt::kTotalWriteSectors, state.hostBytesWritten / kSectorBytes);
    table->AddWide(kvt::kTotalReadCommands, state.readCommands);
    table->AddWide(kvt::kTotalWriteCommands, state.writeCommands);
    table->AddWide(kvt::kErrorBitsFromFlash, state.errorBitsFromFlash);
    table->AddWide(kvt::kCorrectableReadSectors, state.correctableSectors);
    table->AddWide(kvt::kBadBlockFullFlag, controller.BadBlockTableFull() ? 1 : 0);
    table->AddWide(kvt::kMaximumPeCount, controller.Config().wear.ratedCycles);
    table->AddWide(kvt::kMinimumEraseCount, controller.MinimumEraseCount());
    table->AddWide(kvt::kMaximumEraseCount, controller.MaximumEraseCount());
    table->AddWide(kvt::kAverageEraseCount, controller.AverageEraseCount());
    table->AddWide(kvt::kLifeLeftPercent, LifeLeftPercent(controller));
    table->AddWide(kvt::kBbmErrorLog, state.programFailureBlocks + state.eraseFailureBlocks);
    table->AddWide(kvt::kSataCrcErrors, 0);
    table->AddWide(kvt::kSataHandshakeErrors, 0);
    table->AddWide(kvt::kSataLinkStatus, 3);  // link up at the third speed
}

void FillRzb(const Controller& controller, std::uint64_t powerOnHours, AttributeTable* table) {
    const ControllerState& state = controller.State();
    table->AddRaw(ata::kRawReadErrorRate, 0x000F, 100, 0);
    table->AddRaw(ata::kPowerOnHours, 0x0032, 100, powerOnHours);
    table->AddRaw(ata::kPowerCycleCount, 0x0032, 100, state.powerCycles);
    table->AddRaw(rzb::kControllerRevision, 0x0032, 100, 0x0412);
    table->AddRaw(rzb::kSpareBlocks, 0x0033, 100, controller.SpareBlocks());

    if (unsigned char* entry = table->Add(rzb::kEccFail, 0x0032)) {  // the last ECC failure
        const std::int64_t lba = state.lastEccFailLba;
        entry[3] = 100;
        PutBigEndian(entry + 4, 2, std::min<std::uint64_t>(state.uncorrectableSectors, 0xFFFF));
        if (lba >= 0) {
            PutBigEndian(entry + 6, 3, static_cast<std::uint64_t>(lba) >> 3);
            entry[9] = static_cast<unsigned char>(lba & 0x3);          // channel
            entry[10] = static_cast<unsigned char>((lba >> 2) & 0x1);  // bank
        }
    }
    if (unsigned char* entry = table->Add(rzb::kEraseCounts, 0x0032)) {
        entry[3] = LifeLeftPercent(controller);
        PutBigEndian(entry + 4, 3, controller.AverageEraseCount());
        PutBigEndian(entry + 7, 3, controller.MaximumEraseCount());
    }
    if (unsigned char* entry = table->Add(rzb::kBlockCounts, 0x0032)) {
        const std::uint64_t bad =
            controller.InitialBadBlocks() + state.programFailureBlocks + state.eraseFailureBlocks;
        const std::uint32_t blocks = controller.FlashBlocks();
        const std::uint32_t systemBlocks = 8 + blocks / 64;
        entry[3] = 100;
        PutBigEndian(entry + 4, 3, blocks > bad + systemBlocks ? blocks - bad - systemBlocks : 0);
        PutBigEndian(entry + 7, 2, systemBlocks);
    }
}

/// A drive of neither controller family: the usual attributes, raw values little-endian.
void FillPlain(const Controller& controller, std::uint64_t powerOnHours, AttributeTable* table) {
    const ControllerState& state = controller.State();
    const std::uint64_t written = state.hostBytesWritten / kSectorBytes;
    const std::uint64_t read = state.hostBytesRead / kSectorBytes;
    table->AddRaw(ata::kRawReadErrorRate, 0x000F, 100, 0);
    table->AddRaw(5, 0x0033, 100, 0);
    table->AddRaw(ata::kPowerOnHours, 0x0032, 100, powerOnHours);
    table->AddRaw(ata::kPowerCycleCount, 0x0032, 100, state.powerCycles);
    table->AddRaw(177, 0x0013, LifeLeftPercent(controller), controller.AverageEraseCount());
    table->AddRaw(187, 0x0032, 100, state.uncorrectableSectors);
    table->AddRaw(194, 0x0022, 70, 30);  // 30 degrees Celsius
    table->AddRaw(199, 0x003E, 100, 0);
    table->AddRaw(241, 0x0032, 100, written);
    table->AddRaw(242, 0x0032, 100, read);
}

}  // namespace

void BuildIdentifyPage(const BenchDrive& config, std::int64_t sizeBytes, bool smartEnabled,
                       unsigned char* page) {
    std::memset(page, 0, ata::kPageBytes);
    const std::uint64_t sectors = static_cast<std::uint64_t>(sizeBytes) / kSectorBytes;
    const std::uint64_t sectors28 = std::min<std::uint64_t>(sectors, 0x0FFFFFFF);
    PutWord(page, 0, 0x0040);  // fixed, non-removable device
    PutWord(page, 1, 16383);   // legacy geometry: cylinders, heads, sectors per track
    PutWord(page, 3, 16);
    PutWord(page, 6, 63);
    PutAtaText(page, ata::kIdentifySerialOffset, ata::kIdentifySerialBytes, config.serial);
    PutAtaText(page, ata::kIdentifyFirmwareOffset, ata::kIdentifyFirmwareBytes, config.firmware);
    PutAtaText(page, ata::kIdentifyModelOffset, ata::kIdentifyModelBytes, config.model);
    PutWord(page, 47, 0x8010);  // up to 16 sectors per READ/WRITE MULTIPLE
    PutWord(page, 49, 0x0F00);  // LBA, DMA, IORDY
    PutWord(page, 53, 0x0007);
    PutWord(page, 59, 0x0110);
    PutWord(page, 60, static_cast<std::uint16_t>(sectors28 & 0xFFFF));
    PutWord(page, 61, static_cast<std::uint16_t>(sectors28 >> 16));
    PutWord(page, 63, 0x0407);  // multiword DMA 0-2, mode 2 selected
    PutWord(page, 64, 0x0003);  // PIO 3 and 4
    PutWord(page, 75, 31);      // queue depth 32
    PutWord(page, 76, 0x0106);  // SATA gen 1 and 2, NCQ
    PutWord(page, 80, 0x01F0);  // ATA-4 to ATA-8
    // SMART, power management, write cache, look-ahead
    PutWord(page, ata::kIdentifyCommandSetWord, 0x0069);
    PutWord(page, 83, 0x7400);  // 48-bit addressing, FLUSH CACHE EXT
    PutWord(page, 84, 0x4003);  // SMART error log and self-test
    PutWord(page, ata::kIdentifyCommandSetEnabledWord,
            static_cast<std::uint16_t>(0x0068 | (smartEnabled ? 1 : 0)));
    PutWord(page, 86, 0x3400);
    PutWord(page, 87, 0x4003);
    PutWord(page, 88, 0x407F);  // UDMA 0-6, mode 6 selected
    for (int i = 0; i < 4; ++i)
        PutWord(page, 100 + i, static_cast<std::uint16_t>(sectors >> (16 * i)));
    PutWord(page, 106, 0x4000);  // 512-byte logical sectors
    PutWord(page, 217, 0x0001);  // non-rotating medium
    page[2 * ata::kIdentifyIntegrityWord] = ata::kIdentifyIntegritySignature;
    PutChecksum(page);
}

void BuildSmartPage(const Controller& controller, std::uint64_t powerOnHours, unsigned char* page) {
    std::memset(page, 0, ata::kPageBytes);
    PutWord(page, 0, 0x0010);  // data structure revision
    AttributeTable table(page);
    switch (controller.Config().kind) {
        case DriveKind::Kvt:
            FillKvt(controller, powerOnHours, &table);
            break;
        case DriveKind::Rzb:
            FillRzb(controller, powerOnHours, &table);
            break;
        case DriveKind::Plain:
        case DriveKind::Nvme:  // never asked: its device control refuses ATA requests
            FillPlain(controller, powerOnHours, &table);
            break;
    }
    page[ata::kOfflineStatusOffset] = 0x82;  // off-line data collection completed
    PutWord(page, ata::kOfflineSecondsOffset / 2, 0x0003);
    page[ata::kOfflineCapabilitiesOffset] = 0x7B;
    PutWord(page, ata::kSmartCapabilitiesOffset / 2, 0x0003);
    page[ata::kErrorLoggingOffset] = 0x01;  // supported
    page[ata::kShortTestMinutesOffset] = 1;
    page[ata::kExtendedTestMinutesOffset] = 5;
    PutChecksum(page);
}

}  // namespace platform::lab
