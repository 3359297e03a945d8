// Runs every registered check and prints one line per check; the exit code
// is the number of failed checks.
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/platform/win32/check.h"

namespace wincheck {
namespace {

struct Case {
    const char* name;
    std::function<void()> body;
};

std::vector<Case>& Cases() {
    static std::vector<Case> cases;
    return cases;
}

int failuresInCase = 0;

}  // namespace

Registration::Registration(const char* name, std::function<void()> body) {
    Cases().push_back({name, std::move(body)});
}

void Fail(const char* file, int line, const std::string& what) {
    ++failuresInCase;
    std::printf("  %s:%d: %s\n", file, line, what.c_str());
}

}  // namespace wincheck

int main() {
    int failedCases = 0;
    for (const auto& check : wincheck::Cases()) {
        wincheck::failuresInCase = 0;
        try {
            check.body();
        } catch (const std::exception& error) {
            wincheck::Fail(__FILE__, __LINE__, std::string("exception: ") + error.what());
        }
        const bool passed = wincheck::failuresInCase == 0;
        if (!passed) ++failedCases;
        std::printf("%s %s\n", passed ? "PASS" : "FAIL", check.name);
        std::fflush(stdout);
    }
    std::printf("%d of %d checks failed\n", failedCases,
                static_cast<int>(wincheck::Cases().size()));
    return failedCases;
}
