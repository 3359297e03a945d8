#include "platform/win32/disk_probe.h"

#include <winioctl.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/process.h"
#include "platform/win32/ansi_text.h"
#include "platform/win32/disk_layout.h"
#include "platform/win32/disk_signatures.h"

namespace platform {
namespace win32 {
namespace {

// The disk attributes request (Windows 7 and later), not in every SDK.
constexpr DWORD kGetDiskAttributes = 0x000700F0;  // IOCTL_DISK_BASE, 0x3C, buffered, any access
constexpr DWORDLONG kAttributeOffline = 0x1;
constexpr DWORDLONG kAttributeReadOnly = 0x2;
struct DiskAttributes {
    DWORD version;
    DWORD reserved;
    DWORDLONG attributes;
};
static_assert(sizeof(DiskAttributes) == 16, "GET_DISK_ATTRIBUTES is 16 bytes");
static_assert(IOCTL_DISK_IS_WRITABLE == 0x00070024, "writable request code");
static_assert(IOCTL_DISK_GET_LENGTH_INFO == 0x0007405C, "length request code");

DiskGuardResult Refuse(const std::wstring& reason, bool partitionTable = false) {
    DiskGuardResult result;
    result.refused = true;
    result.partitionTable = partitionTable;
    result.reason = AnsiText(reason);
    return result;
}

DiskGuardResult CannotProbe(const std::wstring& path, DWORD error) {
    return Refuse(L"cannot probe " + path + L": " + SystemErrorText(error));
}

// The request is unknown to this handle (an image file) or to this system.
bool Unsupported(DWORD error) {
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_INVALID_PARAMETER;
}

bool SizeOf(HANDLE disk, std::int64_t* sizeBytes) {
    GET_LENGTH_INFORMATION length{};
    DWORD returned = 0;
    if (DeviceIoControl(disk, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length,
                        &returned, nullptr) &&
        returned >= sizeof length) {
        *sizeBytes = length.Length.QuadPart;
        return true;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(disk, &size)) return false;
    *sizeBytes = size.QuadPart;
    return true;
}

// Page-aligned memory, as reads of a disk need.
class PageBuffer {
public:
    explicit PageBuffer(std::size_t bytes)
        : data_(static_cast<std::uint8_t*>(
              VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {}
    ~PageBuffer() {
        if (data_ != nullptr) VirtualFree(data_, 0, MEM_RELEASE);
    }
    PageBuffer(const PageBuffer&) = delete;
    PageBuffer& operator=(const PageBuffer&) = delete;
    std::uint8_t* data() const { return data_; }

private:
    std::uint8_t* data_;
};

bool ReadAt(HANDLE disk, std::int64_t offsetBytes, std::uint8_t* buffer, std::size_t bytes) {
    OVERLAPPED at{};
    const auto offset = static_cast<std::uint64_t>(offsetBytes);
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    return ReadFile(disk, buffer, static_cast<DWORD>(bytes), &got, &at) && got == bytes;
}

}  // namespace

DiskGuardResult CheckLayouts(HANDLE disk, const std::wstring& path) {
    std::vector<std::uint8_t> legacy, extended;
    const bool legacyRead = ReadLegacyLayout(disk, &legacy);
    const bool extendedRead = ReadExtendedLayout(disk, &extended);
    const std::size_t used =
        std::max(legacyRead ? UsedEntries(legacy) : 0, extendedRead ? UsedEntries(extended) : 0);
    if (used == 0) return DiskGuardResult{};
    return Refuse(path + L" has " + std::to_wstring(used) +
                      (used == 1 ? L" partition" : L" partitions") +
                      L" (wipe it first, e.g. with diskpart clean)",
                  true);
}

DiskGuardResult CheckWritable(HANDLE disk, const std::wstring& path) {
    DiskAttributes attributes{};
    DWORD returned = 0;
    if (DeviceIoControl(disk, kGetDiskAttributes, nullptr, 0, &attributes, sizeof attributes,
                        &returned, nullptr)) {
        if ((attributes.attributes & kAttributeOffline) != 0)
            return Refuse(path +
                          L" is offline (bring it online first, e.g. with diskpart online disk)");
        if ((attributes.attributes & kAttributeReadOnly) != 0)
            return Refuse(path +
                          L" is read-only (clear it first, e.g. with diskpart attributes disk "
                          L"clear readonly)");
    } else if (!Unsupported(GetLastError())) {
        return CannotProbe(path, GetLastError());
    }
    if (DeviceIoControl(disk, IOCTL_DISK_IS_WRITABLE, nullptr, 0, nullptr, 0, &returned, nullptr))
        return DiskGuardResult{};
    const DWORD error = GetLastError();
    if (error == ERROR_WRITE_PROTECT) return Refuse(path + L" is read-only");
    if (Unsupported(error)) return DiskGuardResult{};
    return CannotProbe(path, error);
}

DiskGuardResult CheckSignatures(HANDLE disk, const std::wstring& path) {
    std::int64_t sizeBytes = 0;
    if (!SizeOf(disk, &sizeBytes)) return CannotProbe(path, GetLastError());
    const std::size_t span =
        static_cast<std::size_t>(std::min<std::int64_t>(sizeBytes, kSignatureSpanBytes));
    if (span == 0) return DiskGuardResult{};
    const PageBuffer head(span), tail(span);
    if (head.data() == nullptr || tail.data() == nullptr)
        return CannotProbe(path, ERROR_NOT_ENOUGH_MEMORY);
    if (!ReadAt(disk, 0, head.data(), span) ||
        !ReadAt(disk, sizeBytes - static_cast<std::int64_t>(span), tail.data(), span))
        return CannotProbe(path, GetLastError());
    const SignatureFinding finding =
        FindDiskSignature({head.data(), span, tail.data(), span, sizeBytes});
    if (finding.text.empty()) return DiskGuardResult{};
    DiskGuardResult result;
    result.refused = true;
    result.partitionTable = finding.partitionTable;
    result.reason = SignatureReason(finding, AnsiText(path));
    return result;
}

}  // namespace win32
}  // namespace platform
