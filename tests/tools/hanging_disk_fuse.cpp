// A FUSE file system with one file, disk.img, for the tests of hung disks: a
// loop device over it behaves like a disk that stops answering while the
// file named by the second argument exists, and answers again once it is
// removed. The data lives in memory, zeros at first.
// Usage: hanging_disk_fuse <size MiB> <hang flag path> <mount point> [fuse options]
#define FUSE_USE_VERSION 31
#include <fuse3/fuse.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<char> g_data;
std::string g_hangFlag;
constexpr const char* kFile = "/disk.img";

// Waits while the flag file exists: the disk does not answer meanwhile.
void WaitWhileHung() {
    while (::access(g_hangFlag.c_str(), F_OK) == 0) ::usleep(50000);
}

int GetAttr(const char* path, struct stat* info, fuse_file_info*) {
    std::memset(info, 0, sizeof *info);
    if (std::strcmp(path, "/") == 0) {
        info->st_mode = S_IFDIR | 0755;
        info->st_nlink = 2;
        return 0;
    }
    if (std::strcmp(path, kFile) != 0) return -ENOENT;
    info->st_mode = S_IFREG | 0644;
    info->st_nlink = 1;
    info->st_size = static_cast<off_t>(g_data.size());
    return 0;
}

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
            fuse_readdir_flags) {
    if (std::strcmp(path, "/") != 0) return -ENOENT;
    fill(buffer, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    fill(buffer, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    fill(buffer, kFile + 1, nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    return 0;
}

int Open(const char* path, fuse_file_info* file) {
    if (std::strcmp(path, kFile) != 0) return -ENOENT;
    file->direct_io = 1;  // every read reaches this program, none is served from a cache
    return 0;
}

// The part of [offset, offset + size) inside the file.
std::size_t Span(off_t offset, std::size_t size) {
    if (offset < 0 || static_cast<std::size_t>(offset) >= g_data.size()) return 0;
    return std::min(size, g_data.size() - static_cast<std::size_t>(offset));
}

int Read(const char*, char* buffer, std::size_t size, off_t offset, fuse_file_info*) {
    WaitWhileHung();
    const std::size_t n = Span(offset, size);
    std::memcpy(buffer, g_data.data() + offset, n);
    return static_cast<int>(n);
}

int Write(const char*, const char* buffer, std::size_t size, off_t offset, fuse_file_info*) {
    WaitWhileHung();
    const std::size_t n = Span(offset, size);
    std::memcpy(g_data.data() + offset, buffer, n);
    return static_cast<int>(n);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 4) return 2;
    g_data.assign(static_cast<std::size_t>(std::atol(argv[1])) << 20, 0);
    g_hangFlag = argv[2];
    fuse_operations operations{};
    operations.getattr = GetAttr;
    operations.readdir = ReadDir;
    operations.open = Open;
    operations.read = Read;
    operations.write = Write;
    // fuse_main sees: program, mount point, options; single-threaded, foreground.
    std::vector<char*> args = {argv[0], argv[3], const_cast<char*>("-f"), const_cast<char*>("-s")};
    for (int i = 4; i < argc; ++i) args.push_back(argv[i]);
    return fuse_main(static_cast<int>(args.size()), args.data(), &operations, nullptr);
}
