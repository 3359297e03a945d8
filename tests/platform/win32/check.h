// A minimal check harness for the win32 services. GoogleTest is not built for
// the cross compiler, and these checks run under wine as one console program.
#pragma once

#include <functional>
#include <sstream>
#include <string>

namespace wincheck {

/// Registers a named check at start-up.
struct Registration {
    Registration(const char* name, std::function<void()> body);
};

/// Records a failed condition of the running check.
void Fail(const char* file, int line, const std::string& what);

}  // namespace wincheck

#define WINCHECK_CONCAT2(a, b) a##b
#define WINCHECK_CONCAT(a, b) WINCHECK_CONCAT2(a, b)

/// Defines a check: CHECK_CASE(Name) { ... }
#define CHECK_CASE(name)                                                                     \
    static void name();                                                                      \
    static const ::wincheck::Registration WINCHECK_CONCAT(registration_, name)(#name, name); \
    static void name()

#define EXPECT_TRUE(condition) \
    if (!(condition)) ::wincheck::Fail(__FILE__, __LINE__, "expected: " #condition)

#define EXPECT_EQ(expected, actual)                                                        \
    do {                                                                                   \
        const auto& expectedValue = (expected);                                            \
        const auto& actualValue = (actual);                                                \
        if (!(expectedValue == actualValue)) {                                             \
            std::ostringstream message;                                                    \
            message << #actual << " is " << actualValue << ", expected " << expectedValue; \
            ::wincheck::Fail(__FILE__, __LINE__, message.str());                           \
        }                                                                                  \
    } while (false)
