// Shared helpers of the lab tests: a scratch bench folder per test, SMART
// requests in their wire form, and synchronous transfers through a port.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/device_control.h"
#include "platform/drive.h"
#include "tests/platform/posix/drive_io.h"
#include "tests/support/scratch.h"

namespace labtest {

constexpr std::uint32_t kSmartSend = 0x7C084;
constexpr std::uint32_t kSmartReceive = 0x7C088;
constexpr std::uint32_t kMiB = 1048576;

/// A folder of its own for every test, named by SSDLAB_DIR while the test runs.
class LabFixture : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return folder_ + "/" + name; }

    void WriteFile(const std::string& name, const std::string& text) const {
        test_support::WriteBytes(Path(name), text);
    }

    std::string ReadFile(const std::string& name) const {
        return test_support::ReadBytes(Path(name));
    }

    /// A bench holding one drive: number 1, kind, size, and extra JSON members.
    void WriteOneDriveBench(const std::string& kind, int sizeMib, const std::string& extra = "") {
        WriteFile("ssdlab.json", "{\"drives\": [{\"number\": 1, \"kind\": \"" + kind +
                                     "\", \"size_mib\": " + std::to_string(sizeMib) +
                                     ", \"model\": \"Test Model 01\", \"serial\": \"SER12345\", "
                                     "\"firmware\": \"FW1.0\"" +
                                     (extra.empty() ? "" : ", " + extra) + "}]}");
    }

    test_support::ScratchFolder scratch_;
    const std::string folder_ = scratch_.path().string();
    test_support::EnvOverride labDir_{"SSDLAB_DIR", folder_};
};

/// The 33-byte command input block of a SMART request.
inline std::vector<unsigned char> CommandBlock(std::uint8_t features, std::uint8_t command,
                                               std::uint8_t cylLow = 0x4F,
                                               std::uint8_t cylHigh = 0xC2) {
    std::vector<unsigned char> in(33, 0);
    in[0] = 0x00;
    in[1] = 0x02;  // cBufferSize 512
    in[4] = features;
    in[5] = 1;
    in[6] = 1;
    in[7] = cylLow;
    in[8] = cylHigh;
    in[10] = command;
    return in;
}

/// Sends one request to drive `number` on a handle of its own; the 528-byte
/// output block in *out and the byte count in *returned.
inline bool Request(platform::DriveNumber number, std::uint32_t code,
                    const std::vector<unsigned char>& in, std::vector<unsigned char>* out,
                    std::uint32_t* returned, std::uint32_t inSize = 33,
                    std::uint32_t outSize = 528) {
    out->assign(528, 0xEE);
    *returned = 12345;
    platform::ControlHandle* handle = platform::OpenControlHandle(number);
    if (handle == nullptr) return false;
    const bool ok =
        platform::DeviceControl(handle, code, in.data(), inSize, out->data(), outSize, returned);
    platform::CloseControlHandle(handle);
    return ok;
}

/// SMART READ DATA: the 512-byte page, empty when the drive did not deliver it.
inline std::vector<unsigned char> SmartPage(platform::DriveNumber number) {
    std::vector<unsigned char> out;
    std::uint32_t returned = 0;
    if (!Request(number, kSmartReceive, CommandBlock(0xD0, 0xB0), &out, &returned) ||
        returned != 528)
        return {};
    return std::vector<unsigned char>(out.begin() + 16, out.end());
}

/// The entry of attribute `id` in a SMART page, nullptr when absent.
inline const unsigned char* Attribute(const std::vector<unsigned char>& page, int id) {
    for (std::size_t k = 0; k < 30 && !page.empty(); ++k)
        if (page[2 + 12 * k] == id) return &page[2 + 12 * k];
    return nullptr;
}

/// The IDs of a SMART page in page order.
inline std::vector<int> AttributeIds(const std::vector<unsigned char>& page) {
    std::vector<int> ids;
    for (std::size_t k = 0; k < 30 && !page.empty(); ++k)
        if (page[2 + 12 * k] != 0) ids.push_back(page[2 + 12 * k]);
    return ids;
}

/// Entry bytes 3 to 10 as one little-endian number (the kvt layout).
inline std::uint64_t WideValue(const std::vector<unsigned char>& page, int id) {
    const unsigned char* entry = Attribute(page, id);
    if (entry == nullptr) return ~std::uint64_t{0};
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | entry[3 + i];
    return value;
}

using test_support::AlignedBuffer;
using test_support::OpenDrive;

}  // namespace labtest
