// Test helpers shared by the unit tests: scratch folders, environment
// overrides and whole-file access.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>

namespace test_support {

/// A fresh folder under /tmp, removed with its contents when the object goes.
class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/ssdtest-unit-XXXXXX";
        if (mkdtemp(pattern) == nullptr) throw std::runtime_error("cannot make a scratch folder");
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::wstring wide() const { return path_.wstring(); }

private:
    std::filesystem::path path_;
};

/// Sets an environment variable while the object lives, then restores it.
class EnvOverride {
public:
    EnvOverride(const char* name, const std::string& value) : name_(name) {
        if (const char* old = getenv(name)) saved_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~EnvOverride() {
        if (saved_) {
            setenv(name_.c_str(), saved_->c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
    }
    EnvOverride(const EnvOverride&) = delete;
    EnvOverride& operator=(const EnvOverride&) = delete;

private:
    std::string name_;
    std::optional<std::string> saved_;
};

/// The file's bytes, or an empty string when it cannot be read.
inline std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios_base::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Replaces the file's content with exactly these bytes.
inline void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios_base::binary | std::ios_base::trunc) << bytes;
}

}  // namespace test_support
