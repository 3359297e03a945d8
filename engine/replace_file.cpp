#include "engine/replace_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "engine/file_retry.h"
#include "platform/process.h"
#include "smart/process_utils.h"

std::string ReplaceFileContents(const std::wstring& path, const void* data, std::size_t size) {
    const std::wstring temporary = path + L".tmp";
    // A scanner may still hold the temporary name of the last replacement,
    // or the file itself: both steps wait for it a few seconds.
    std::FILE* file = nullptr;
    std::uint32_t openError = 0;
    RetryWhileLocked(
        [&] {
            errno = 0;
            file = platform::OpenFile(temporary, "wb");
            return file != nullptr;
        },
        &openError);
    if (file == nullptr) return std::strerror(errno != 0 ? errno : EIO);
    errno = 0;
    const bool written = std::fwrite(data, 1, size, file) == size && std::fflush(file) == 0;
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        const int error = writeError != 0 ? writeError : errno;
        std::error_code ignored;
        std::filesystem::remove(platform::FilePath(temporary), ignored);
        return error != 0 ? std::strerror(error) : "write failed";
    }
    // One step: a reader finds the old file or the new one, never none.
    std::uint32_t error = 0;
    if (!RetryWhileLocked([&] { return platform::MoveFileReplacing(temporary, path); }, &error)) {
        std::error_code ignored;
        std::filesystem::remove(platform::FilePath(temporary), ignored);
        return ToNarrow(platform::SystemErrorText(error));
    }
    return std::string();
}
