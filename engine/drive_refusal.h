// A drive the tool will not test: not found, not of the supported kind, or
// holding data (partitions, signatures, other users). Its message is the
// operator's line; scripts tell a refusal from a failure by this type.
#pragma once

#include <stdexcept>
#include <string>

class DriveRefusal : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
