// Test helper: a scratch bench folder with its own ssdlab.json, made the lab's
// bench folder (SSDLAB_DIR) while the scope lives.
#pragma once

#include <fstream>
#include <initializer_list>
#include <string>

#include "tests/support/scratch.h"

class LabBenchScope {
public:
    /// Writes `benchJson` as the bench file of a fresh folder.
    explicit LabBenchScope(const std::string& benchJson)
        : folder_(scratch_.path().string()), labDir_("SSDLAB_DIR", folder_) {
        Rewrite(benchJson);
    }

    const std::string& Folder() const { return folder_; }

    /// Replaces the bench file; the lab reads it again on its next request.
    void Rewrite(const std::string& benchJson) const {
        std::ofstream(folder_ + "/ssdlab.json", std::ios::binary | std::ios::trunc) << benchJson;
    }

private:
    test_support::ScratchFolder scratch_;
    std::string folder_;
    test_support::EnvOverride labDir_;
};

/// One bench drive entry of 1 MiB; `extra` holds further members, e.g. a
/// faults object or another "size_mib" (a key may appear only once).
inline std::string BenchDriveJson(int number, const std::string& kind, const std::string& model,
                                  const std::string& serial, const std::string& firmware,
                                  const std::string& extra = "") {
    const bool sized = extra.find("\"size_mib\"") != std::string::npos;
    return "{\"number\": " + std::to_string(number) + ", \"kind\": \"" + kind + "\", " +
           (sized ? "" : "\"size_mib\": 1, ") + "\"model\": \"" + model + "\", \"serial\": \"" +
           serial + "\", \"firmware\": \"" + firmware + "\"" + (extra.empty() ? "" : ", " + extra) +
           "}";
}

/// A bench file text holding the given drive entries.
inline std::string BenchJson(std::initializer_list<std::string> drives) {
    std::string text;
    for (const std::string& drive : drives) text += (text.empty() ? "" : ", ") + drive;
    return "{\"drives\": [" + text + "]}";
}
