#include "engine/run_folders.h"

#include "platform/process.h"
#include "smart/process_utils.h"

std::wstring FilesFolder(const CSSDTest& test) {
    return test.filesFolder.empty() ? GetModuleFolder() : test.filesFolder;
}

std::wstring PublishFolder(const CSSDTest& test) {
    return test.sharedFolder.empty() ? platform::SharedFolder() : test.sharedFolder;
}
