// Signatures of partition tables, file systems, volume managers and RAID
// members in the first and last MiB of a disk: what the Windows disk guard
// finds on a disk that Windows itself shows no volume for. Free of
// <windows.h>, so the Linux unit tests check it over image files too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {
namespace win32 {

/// Bytes read at each end of a disk.
constexpr std::size_t kSignatureSpanBytes = std::size_t{1} << 20;

/// The first and last bytes of a disk of `sizeBytes`: `head` holds bytes
/// [0, headBytes), `tail` holds [sizeBytes - tailBytes, sizeBytes).
struct DiskSpans {
    const std::uint8_t* head;
    std::size_t headBytes;
    const std::uint8_t* tail;
    std::size_t tailBytes;
    std::int64_t sizeBytes;
};

struct SignatureFinding {
    /// "gpt partition table", "ext4 signature", ... (the names libblkid
    /// gives them on Linux); empty when the spans hold none.
    std::string text;
    bool partitionTable = false;
};

/// The first known signature in the spans: a partition table (GPT by its
/// primary or backup header, MBR with entries) before any other signature.
SignatureFinding FindDiskSignature(const DiskSpans& spans);

/// The guard's line for a finding on the device at `path`, as on Linux:
/// "ext4 signature on \\.\PhysicalDrive3 (wipe it first, ...)".
std::string SignatureReason(const SignatureFinding& finding, const std::string& path);

}  // namespace win32
}  // namespace platform
