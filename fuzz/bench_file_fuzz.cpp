// Bench file texts: any text is a bench or a one-line reason, never a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/lab/lab_bench.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    platform::lab::Bench bench;
    std::string error;
    // A folder that does not exist: relative image and state paths name no file.
    if (!platform::lab::ParseBench(text, "/nonexistent-ssdtest-fuzz", &bench, &error) &&
        error.find('\n') != std::string::npos)
        __builtin_trap();
    return 0;
}
