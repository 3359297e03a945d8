// Measures how fast a lab drive moves data through the raw drive service, the
// way the test engine uses it: 1 MiB transfers, one in flight, over the whole
// drive. Usage: lab_throughput [size_mib (default 1024)] [scratch folder]
// Four passes: write into the new sparse image (the file system allocates as it
// goes), write again, read a fresh drive, read a worn-out drive (raw bit error
// rate at its ceiling, so the error draws cost the most).
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "platform/drive.h"

namespace {

constexpr std::uint32_t kBlockBytes = 1048576;

struct Request {
    platform::OverlappedSlot slot;  // first member: the completion returns its address
};

bool WriteBench(const std::string& folder, int sizeMib, int initialAec) {
    std::ofstream out(folder + "/ssdlab.json", std::ios::trunc);
    out << "{\"drives\": [{\"number\": 1, \"kind\": \"kvt\", \"size_mib\": " << sizeMib
        << ", \"model\": \"Throughput Lab\", \"serial\": \"TP0001\", \"firmware\": \"T1\""
        << ", \"initial_aec\": " << initialAec << "}]}\n";
    return static_cast<bool>(out.flush());
}

/// Moves the whole drive once; returns MB/s (10^6 bytes per second) or -1.
double RunPass(bool isRead, int sizeMib, unsigned char* buffer) {
    std::uint32_t error = 0;
    const std::unique_ptr<platform::Drive> drive = platform::SystemDrives().Open(1, &error);
    if (drive == nullptr || drive->AttachPort() != platform::PortSetup::Ready) {
        std::fprintf(stderr, "cannot open the lab drive (error %u)\n", error);
        return -1;
    }
    Request request{};
    const auto start = std::chrono::steady_clock::now();
    for (int block = 0; block < sizeMib; ++block) {
        const auto started = drive->StartTransfer(&request.slot, std::int64_t{block} * kBlockBytes,
                                                  buffer, kBlockBytes, isRead);
        platform::OverlappedSlot* done = nullptr;
        if (started.status == platform::IoStart::Failed || !drive->WaitCompletion(10000, &done)) {
            std::fprintf(stderr, "transfer of block %d failed\n", block);
            return -1;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return double(sizeMib) * kBlockBytes / 1e6 / seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const int sizeMib = argc > 1 ? std::atoi(argv[1]) : 1024;
    std::string folder;
    if (argc > 2) {
        folder = argv[2];
        ::mkdir(folder.c_str(), 0755);
    } else {
        char pattern[] = "/var/tmp/lab_throughput.XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return 1;
        folder = pattern;
    }
    ::setenv("SSDLAB_DIR", folder.c_str(), 1);

    void* memory = nullptr;
    if (sizeMib <= 0 || ::posix_memalign(&memory, 4096, kBlockBytes) != 0) return 1;
    auto* buffer = static_cast<unsigned char*>(memory);
    for (std::uint32_t i = 0; i < kBlockBytes; ++i)
        buffer[i] = static_cast<unsigned char>((i * 2654435761u) >> 24);

    if (!WriteBench(folder, sizeMib, 0)) return 1;
    const double firstWrite = RunPass(false, sizeMib, buffer);
    const double write = RunPass(false, sizeMib, buffer);
    const double read = RunPass(true, sizeMib, buffer);
    if (!WriteBench(folder, sizeMib, 60)) return 1;  // far beyond the rated 30 cycles
    const double wornRead = RunPass(true, sizeMib, buffer);

    std::printf("lab drive %d MiB in %s\n", sizeMib, folder.c_str());
    std::printf("write (new)     %8.1f MB/s\n", firstWrite);
    std::printf("write           %8.1f MB/s\n", write);
    std::printf("read (fresh)    %8.1f MB/s\n", read);
    std::printf("read (worn out) %8.1f MB/s\n", wornRead);

    std::free(memory);
    std::remove((folder + "/lab_drive1.img").c_str());
    std::remove((folder + "/lab_drive1.state").c_str());
    std::remove((folder + "/ssdlab.json").c_str());
    if (argc <= 2) ::rmdir(folder.c_str());
    return firstWrite > 0 && write > 0 && read > 0 && wornRead > 0 ? 0 : 1;
}
