// Test helper: a loop device attached over a file the test made, detached when
// the object goes, so no test ever touches a disk of the machine.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace test_support {

/// The command's standard output without trailing line ends and blanks.
inline std::string RunCapture(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char chunk[256];
    while (std::fgets(chunk, sizeof(chunk), pipe) != nullptr) output += chunk;
    ::pclose(pipe);
    while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
    return output;
}

class LoopDevice {
public:
    /// Attaches a loop device over `image`; nullptr when none can be attached.
    static std::unique_ptr<LoopDevice> Attach(const std::string& image,
                                              bool scanPartitions = false) {
        const std::string flags = scanPartitions ? "--partscan " : "";
        const std::string node =
            RunCapture("losetup --find --show " + flags + "'" + image + "' 2>/dev/null");
        if (node.compare(0, 9, "/dev/loop") != 0) return nullptr;
        return std::unique_ptr<LoopDevice>(new LoopDevice(node));
    }
    ~LoopDevice() { RunCapture("losetup -d '" + node_ + "' 2>/dev/null"); }
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;

    /// The device node, e.g. "/dev/loop3".
    const std::string& node() const { return node_; }
    /// The node's name without "/dev/".
    std::string name() const { return node_.substr(5); }

private:
    explicit LoopDevice(std::string node) : node_(std::move(node)) {}
    std::string node_;
};

}  // namespace test_support
