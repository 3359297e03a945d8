#include "engine/run_folders.h"

#include "platform/process.h"

std::wstring ProgramFolder(const CSSDTest& test) {
    return test.programFolder.empty() ? platform::ViewerFolder() : test.programFolder;
}

std::wstring FilesFolder(const CSSDTest& test) {
    if (!test.filesFolder.empty()) return test.filesFolder;
    return test.programFolder.empty() ? platform::DataFolder() : test.programFolder;
}

std::wstring PublishFolder(const CSSDTest& test) {
    return test.sharedFolder.empty() ? platform::SharedFolder() : test.sharedFolder;
}
