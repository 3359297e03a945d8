// The result log's last line: whatever a cut or edited log ends with, the
// counter restore either takes two whole numbers from it or throws one of
// its messages. The drive number names no lab drive, so the status refresh
// after the restore reads nothing.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>

#include "engine/test_context.h"
#include "tracking/result_log.h"

namespace {

// A scratch folder with an empty bench, made once per process under $TMPDIR
// (the fuzz run points it at its own scratch folder) or /tmp.
const std::string& Scratch() {
    static const std::string folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") +
                              "/ssdtest-fuzz-log-XXXXXX";
        const char* made = ::mkdtemp(pattern.data());
        if (made == nullptr) std::abort();
        std::ofstream(std::string(made) + "/ssdlab.json") << R"({"drives": []})";
        ::setenv("SSDLAB_DIR", made, 1);
        ::setenv("SSDTEST_TRACE", "/dev/null", 1);
        return std::string(made);
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = Scratch() + "/drive1_fuzz.csv";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    CSSDTest test;
    test.currentStatus->DriveNumber = 250;
    test.resultLogPath = std::wstring(path.begin(), path.end());
    try {
        RestoreErrorCounters(test, *test.currentStatus, test);
    } catch (const std::exception&) {
        // "getline unknown error" or the conversion failure: the run stops there.
    }
    return 0;
}
