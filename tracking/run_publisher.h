// Keeps a run's machine-readable outputs up to date: the status file beside
// the result log and beside its shared copy, the Prometheus textfile and the
// progress line on a terminal.
#pragma once

#include <string>

#include "engine/test_context.h"
#include "tracking/run_figures.h"

/// While it lives, the publisher is the context's run observer. Each moment
/// builds one RunFigures snapshot and every output formats that snapshot.
class RunPublisher {
public:
    explicit RunPublisher(CSSDTest& test);
    ~RunPublisher();
    RunPublisher(const RunPublisher&) = delete;
    RunPublisher& operator=(const RunPublisher&) = delete;

    /// The run has started (drive checked and opened, log open): notes the
    /// start time, chooses the shared copy's name and writes every output.
    void Start();

    /// The run ended with `state` (and `reason` unless it finished): the
    /// context keeps both, the outputs of a started run get their last
    /// figures, and the progress line is cleared.
    void End(RunState state, const std::string& reason);

private:
    void OnMoment(RunMoment moment);
    void ChooseSharedName();
    void Publish(bool shared);
    // Writes one file; the first failure of each kind is said once.
    void Write(const std::wstring& path, const std::string& text, bool* failureSaid, bool say);

    CSSDTest& test_;
    bool started_ = false;
    bool ownSharedName_ = false;  // the shared copy's name carries the serial
    bool statusFailureSaid_ = false;
    bool sharedFailureSaid_ = false;
    bool metricsFailureSaid_ = false;
};

/// "drive1_<model>_<serial>.csv": the result log's name in `folder` with the
/// drive's serial added, for a shared folder where another drive has the
/// log's own name. Characters a file name cannot hold become '_'.
std::wstring SerialLogName(const CSSDStatus& status, const std::wstring& folder);
