// The status record a test follows, of whichever drive family: a copyable
// owner of one CSSDStatus that copies the record of its own kind.
#pragma once

#include <memory>

#include "status/ckvt_status.h"
#include "status/cssd_status.h"

class DriveStatus {
public:
    /// An unbound record of the supported SATA kind.
    DriveStatus() : record_(std::make_unique<CKVTStatus>()) {}
    /// A copy of `record`, of its own kind.
    explicit DriveStatus(const CSSDStatus& record) : record_(record.Clone()) {}
    DriveStatus(const DriveStatus& other) : record_(other.record_->Clone()) {}
    DriveStatus& operator=(const DriveStatus& other) {
        if (this != &other) record_ = other.record_->Clone();
        return *this;
    }

    CSSDStatus* operator->() { return record_.get(); }
    const CSSDStatus* operator->() const { return record_.get(); }
    CSSDStatus& operator*() { return *record_; }
    const CSSDStatus& operator*() const { return *record_; }

private:
    std::unique_ptr<CSSDStatus> record_;
};
