#include "engine/replace_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/process.h"

std::string ReplaceFileContents(const std::wstring& path, const void* data, std::size_t size) {
    const std::string target = platform::NativePath(path);
    const std::string temporary = target + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) return std::strerror(errno);
    errno = 0;
    const bool written = std::fwrite(data, 1, size, file) == size && std::fflush(file) == 0;
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        const int error = writeError != 0 ? writeError : errno;
        std::remove(temporary.c_str());
        return error != 0 ? std::strerror(error) : "write failed";
    }
    // Where rename does not replace an existing file, remove it first; the new
    // content is then still complete under the temporary name.
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(target.c_str());
        if (std::rename(temporary.c_str(), target.c_str()) != 0) {
            const int error = errno;
            std::remove(temporary.c_str());
            return std::strerror(error);
        }
    }
    return std::string();
}
