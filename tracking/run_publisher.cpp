#include "tracking/run_publisher.h"

#include <ctime>

#include "engine/replace_file.h"
#include "engine/run_folders.h"
#include "platform/process.h"
#include "smart/process_utils.h"
#include "smart/trace_stream.h"
#include "text/operator_output.h"
#include "tracking/metrics_file.h"
#include "tracking/progress_text.h"
#include "tracking/result_log.h"
#include "tracking/status_file.h"

namespace {

std::int64_t Now() { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace

std::wstring SerialLogName(const CSSDStatus& status, const std::wstring& folder) {
    std::string serial = status.SerialNumber;
    for (char& c : serial) {
        if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) c = '_';
    }
    return platform::JoinPath(folder, L"drive" + std::to_wstring(status.DriveNumber) + L"_" +
                                          ToWide(status.Model + "_" + serial) + L".csv");
}

RunPublisher::RunPublisher(CSSDTest& test) : test_(test) {
    test_.runObserver = [this](RunMoment moment) { OnMoment(moment); };
}

RunPublisher::~RunPublisher() { test_.runObserver = nullptr; }

void RunPublisher::Start() {
    test_.tally.startedUnixTime = Now();
    test_.state = RunState::kRunning;
    started_ = true;
    OnMoment(RunMoment::kStart);
}

void RunPublisher::End(RunState state, const std::string& reason) {
    test_.state = state;
    test_.stateReason = reason;
    if (test_.outputs.drawProgress) test_.outputs.drawProgress("");
    if (started_) OnMoment(RunMoment::kEnd);
    started_ = false;
}

void RunPublisher::OnMoment(RunMoment moment) {
    if (!started_) return;
    // The shared copy is chosen before the log is first published and again
    // before each next one: another bench may have started meanwhile.
    if (moment == RunMoment::kStart || moment == RunMoment::kRoundEnd) ChooseSharedName();
    Publish(moment != RunMoment::kBatch);
    if (moment != RunMoment::kEnd && test_.outputs.drawProgress)
        test_.outputs.drawProgress(ProgressText(BuildRunFigures(test_, Now())));
}

void RunPublisher::ChooseSharedName() {
    if (ownSharedName_) return;  // once moved aside, the copy stays where it is
    const std::wstring folder = PublishFolder(test_);
    const std::wstring usual = ResultLogName(*test_.currentStatus, folder);
    const std::string owner = StatusFileSerial(StatusFileName(usual));
    if (owner.empty() || owner == test_.currentStatus->SerialNumber) {
        test_.sharedLogName = usual;
        return;
    }
    ownSharedName_ = true;
    test_.sharedLogName = SerialLogName(*test_.currentStatus, folder);
    const std::string note = "Shared copy of drive serial " + owner +
                             " kept; this drive's log is "
                             "published as " +
                             ToNarrow(test_.sharedLogName);
    TraceNote(platform::TraceLevel::Warning, note);
    if (test_.outputs.sayNotes) OutWide(ToWide(note) + L"\n");
}

void RunPublisher::Publish(bool shared) {
    const RunFigures figures = BuildRunFigures(test_, Now());
    if (!test_.resultLogPath.empty()) {
        const std::string status = StatusText(figures);
        Write(StatusFileName(test_.resultLogPath), status, &statusFailureSaid_, true);
        // A shared folder that is missing was already said by "Copy Failed".
        if (shared && !test_.sharedLogName.empty())
            Write(StatusFileName(test_.sharedLogName), status, &sharedFailureSaid_, false);
    }
    if (!test_.outputs.metricsFolder.empty())
        Write(MetricsFileName(test_.outputs.metricsFolder, figures.drive), MetricsText(figures),
              &metricsFailureSaid_, true);
}

void RunPublisher::Write(const std::wstring& path, const std::string& text, bool* failureSaid,
                         bool say) {
    const std::string reason = ReplaceFileContents(path, text.data(), text.size());
    if (reason.empty() || *failureSaid) return;
    *failureSaid = true;
    const std::string note = "Status Write Failed: " + ToNarrow(path) + ": " + reason;
    TraceNote(platform::TraceLevel::Warning, note);
    if (say && test_.outputs.sayNotes) OutWide(ToWide(note) + L"\n");
}
