#include "tracking/log_publish.h"

#include "engine/file_retry.h"
#include "engine/run_folders.h"
#include "platform/process.h"
#include "text/operator_output.h"
#include "tracking/result_log.h"

void PublishResultLog(CSSDTest& test) {
    // Whatever state closing leaves, only the reopening below decides what
    // the caller sees.
    test.resultLog.close();
    test.resultLog.clear();

    const std::wstring copyName = test.sharedLogName.empty()
                                      ? ResultLogName(*test.currentStatus, PublishFolder(test))
                                      : test.sharedLogName;
    std::uint32_t error = 0;
    const auto copy = [&] { return platform::CopyFileReplacing(test.resultLogPath, copyName); };
    if (!RetryWhileLocked(copy, &error)) {
        const std::wstring reason = platform::SystemErrorText(error);
        OutWide(L"Copy Failed: " + copyName + L"\n");
        if (!reason.empty()) OutWide(reason + L"\n");  // the system's reason on a line of its own
    }

    OpenLogStream(test, *test.currentStatus);
}
