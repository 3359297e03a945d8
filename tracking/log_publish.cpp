#include "tracking/log_publish.h"

#include "engine/file_retry.h"
#include "engine/run_folders.h"
#include "platform/process.h"
#include "text/operator_output.h"
#include "tracking/result_log.h"

void PublishResultLog(const RunSettings& settings, ResultLogFile& log, const CSSDStatus& status) {
    // Whatever state closing leaves, only the reopening below decides what
    // the caller sees.
    log.resultLog.close();
    log.resultLog.clear();

    const std::wstring copyName = settings.sharedLogName.empty()
                                      ? ResultLogName(status, PublishFolder(settings))
                                      : settings.sharedLogName;
    std::uint32_t error = 0;
    const auto copy = [&] { return platform::CopyFileReplacing(log.resultLogPath, copyName); };
    if (!RetryWhileLocked(copy, &error)) {
        const std::wstring reason = platform::SystemErrorText(error);
        OutWide(L"Copy Failed: " + copyName + L"\n");
        if (!reason.empty()) OutWide(reason + L"\n");  // the system's reason on a line of its own
    }

    OpenLogStream(log, status);
}
