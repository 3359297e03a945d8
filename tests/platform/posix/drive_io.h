// Test helper: a drive opened from the system's source and attached to its
// completion port, with page-aligned transfer buffers.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "engine/drive_open.h"
#include "platform/drive.h"

namespace test_support {

/// A page-aligned buffer for direct I/O, filled with zeros: the tests write it
/// as known contents.
struct AlignedBuffer {
    explicit AlignedBuffer(std::size_t bytes) : size(bytes) {
        void* memory = nullptr;
        if (::posix_memalign(&memory, 4096, size) == 0) {
            std::memset(memory, 0, size);
            data.reset(static_cast<unsigned char*>(memory));
        }
    }
    struct Free {
        void operator()(unsigned char* p) const { std::free(p); }
    };
    std::unique_ptr<unsigned char, Free> data;
    std::size_t size;
    unsigned char* get() const { return data.get(); }
};

/// A drive opened and attached to its port, closed at the end of the scope.
struct OpenDrive {
    explicit OpenDrive(std::uint32_t number)
        : drive(platform::SystemDrives().Open(number, &error)) {
        if (drive != nullptr) attached = drive->AttachPort() == platform::PortSetup::Ready;
    }

    bool ok() const { return drive != nullptr && attached; }

    /// One transfer, started and collected; true when it completed successfully.
    bool Transfer(std::int64_t offset, unsigned char* buffer, std::uint32_t length, bool isRead,
                  std::uint32_t timeoutMs = 5000) {
        const platform::IoStartResult start =
            drive->StartTransfer(&slot, offset, buffer, length, isRead);
        if (start.status == platform::IoStart::Failed) return false;
        platform::OverlappedSlot* done = nullptr;
        return drive->WaitCompletion(timeoutMs, &done) && done == &slot;
    }

    /// Writes `buffer` over the whole drive, then returns.
    bool WriteAll(unsigned char* buffer, std::uint32_t blockBytes, std::int64_t sizeBytes) {
        for (std::int64_t offset = 0; offset < sizeBytes; offset += blockBytes)
            if (!Transfer(offset, buffer, blockBytes, false)) return false;
        return true;
    }

    std::uint32_t error = 0;
    std::unique_ptr<platform::Drive> drive;
    platform::OverlappedSlot slot{};
    bool attached = false;
};

/// `size` bytes of the file from `offset` on; fewer where the file ends.
inline std::string ReadAt(const std::string& path, std::int64_t offset, std::size_t size) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(offset);
    std::string bytes(size, '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(size));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

/// The buffer's first `size` bytes as a string.
inline std::string Text(const AlignedBuffer& buffer, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(buffer.get()), size);
}

}  // namespace test_support
