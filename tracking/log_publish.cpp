#include "tracking/log_publish.h"

#include "engine/run_folders.h"
#include "platform/process.h"
#include "text/operator_output.h"
#include "tracking/result_log.h"

void PublishResultLog(CSSDTest& test) {
    // Whatever state closing leaves, only the reopening below decides what
    // the caller sees.
    test.resultLog.close();
    test.resultLog.clear();

    const std::wstring copyName = ResultLogName(*test.currentStatus, PublishFolder(test));
    if (!platform::CopyFileReplacing(test.resultLogPath, copyName))
        OutWide(L"Copy Failed: " + copyName + L"\n");

    OpenLogStream(test);
}
