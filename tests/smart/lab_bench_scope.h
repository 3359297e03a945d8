// Test helper: a scratch bench folder with its own ssdlab.json, made the lab's
// bench folder (SSDLAB_DIR) while the scope lives.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

class LabBenchScope {
public:
    /// Writes `benchJson` as the bench file of a fresh folder.
    explicit LabBenchScope(const std::string& benchJson) {
        char pattern[] = "/tmp/ssdtest-smart-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (made == nullptr) throw std::runtime_error("cannot make a scratch bench folder");
        folder_ = made;
        std::ofstream(folder_ + "/ssdlab.json", std::ios::binary) << benchJson;
        if (const char* old = getenv("SSDLAB_DIR")) saved_ = old;
        setenv("SSDLAB_DIR", folder_.c_str(), 1);
    }

    ~LabBenchScope() {
        if (saved_) {
            setenv("SSDLAB_DIR", saved_->c_str(), 1);
        } else {
            unsetenv("SSDLAB_DIR");
        }
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }

    LabBenchScope(const LabBenchScope&) = delete;
    LabBenchScope& operator=(const LabBenchScope&) = delete;

    const std::string& Folder() const { return folder_; }

    /// Replaces the bench file; the lab reads it again on its next request.
    void Rewrite(const std::string& benchJson) const {
        std::ofstream(folder_ + "/ssdlab.json", std::ios::binary | std::ios::trunc) << benchJson;
    }

private:
    std::string folder_;
    std::optional<std::string> saved_;
};

/// One bench drive entry; `extra` holds further members, e.g. a faults object.
inline std::string BenchDriveJson(int number, const std::string& kind, const std::string& model,
                                  const std::string& serial, const std::string& firmware,
                                  const std::string& extra = "") {
    return "{\"number\": " + std::to_string(number) + ", \"kind\": \"" + kind +
           "\", \"size_mib\": 1, \"model\": \"" + model + "\", \"serial\": \"" + serial +
           "\", \"firmware\": \"" + firmware + "\"" + (extra.empty() ? "" : ", " + extra) + "}";
}

/// A bench file text holding the given drive entries.
inline std::string BenchJson(std::initializer_list<std::string> drives) {
    std::string text = "{\"drives\": [";
    bool first = true;
    for (const std::string& drive : drives) {
        if (!first) text += ", ";
        text += drive;
        first = false;
    }
    return text + "]}";
}
