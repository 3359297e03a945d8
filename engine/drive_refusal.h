// A drive the tool will not test: not found, not of the supported kind, or
// holding data (partitions, signatures, other users). Its message is the
// operator's line; scripts tell a refusal from a failure by this type.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

class DriveRefusal : public std::runtime_error {
public:
    explicit DriveRefusal(const std::string& message, std::string reason = std::string())
        : std::runtime_error(message), reason_(std::move(reason)) {}

    /// One more line saying what was found on the drive; empty when the
    /// message says it all.
    const std::string& reason() const { return reason_; }

private:
    std::string reason_;
};

/// The refusal's lines as the console shows them: the message, then the
/// reason on a line of its own when there is one.
inline std::string RefusalText(const DriveRefusal& refusal) {
    return refusal.reason().empty() ? refusal.what()
                                    : std::string(refusal.what()) + "\n" + refusal.reason();
}
