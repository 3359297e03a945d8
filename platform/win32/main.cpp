// Entry of the Windows console program: a wide-character entry point that
// hands its arguments on in UTF-8. Without arguments the dialogue ends with
// exit code 0.
#include <windows.h>

#include <string>
#include <vector>

#include "console/console_main.h"

namespace {

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &narrow[0], size, nullptr, nullptr);
    narrow.pop_back();  // the terminator
    return narrow;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(Utf8(argv[i]));
    return ConsoleMain(args);
}
