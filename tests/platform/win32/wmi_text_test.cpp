// The texts of the WMI disk records: drive numbers in device ids, swapped serials.
#include "platform/win32/wmi_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

TEST(DiskRecordHelpers, DeviceIdIndexIsTheWholeTrailingNumberSerialPairsAreSwapped) {
    const std::pair<const wchar_t*, int> ids[] = {{L"\\\\.\\PHYSICALDRIVE3", 3},
                                                  {L"\\\\.\\PHYSICALDRIVE12", 12},
                                                  {L"\\\\.\\PHYSICALDRIVE123", 123},
                                                  {L"\\\\.\\PHYSICALDRIVE", 0},
                                                  {L"", 0},
                                                  {L"\\\\.\\PHYSICALDRIVE99999999999", 0}};
    for (const auto& [id, index] : ids) EXPECT_EQ(platform::win32::ParseDeviceIdIndex(id), index);

    const std::pair<const wchar_t*, const wchar_t*> serials[] = {
        {L"1A2B3C", L"A1B2C3"}, {L"12345", L"21435"}, {L"", L""}, {L"7", L"7"}};
    for (const auto& [raw, swapped] : serials)
        EXPECT_EQ(platform::win32::SwapSerialPairs(raw), swapped);
}

TEST(DiskRecordHelpers, MenuSerialIsIdentifysWholeFieldOrTheWmiTextUnswappedOnNewSystems) {
    std::uint8_t page[512] = {};
    const std::string field = "PRB BLANK 0005 FULLW";  // 20 characters, inner blanks
    for (std::size_t i = 0; i < field.size(); ++i)
        page[20 + (i ^ 1)] = static_cast<std::uint8_t>(field[i]);
    EXPECT_EQ(platform::win32::IdentifySerial(page), L"PRB BLANK 0005 FULLW");
    const std::string padded = "   S123\x01            ";  // 20 bytes
    for (std::size_t i = 0; i < 20; ++i) page[20 + (i ^ 1)] = static_cast<std::uint8_t>(padded[i]);
    EXPECT_EQ(platform::win32::IdentifySerial(page), L"S123?");

    EXPECT_EQ(platform::win32::WmiSerial(L"WINEHDISK", false), L"WINEHDISK");
    EXPECT_EQ(platform::win32::WmiSerial(L"IWENDHSI K", true), L"WINEHDISK");
}
