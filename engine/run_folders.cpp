#include "engine/run_folders.h"

#include "platform/process.h"

std::wstring ProgramFolder(const CSSDTest& test) {
    return test.programFolder.empty() ? platform::ProgramFolder() : test.programFolder;
}

std::wstring FilesFolder(const CSSDTest& test) {
    return test.filesFolder.empty() ? ProgramFolder(test) : test.filesFolder;
}

std::wstring PublishFolder(const CSSDTest& test) {
    return test.sharedFolder.empty() ? platform::SharedFolder() : test.sharedFolder;
}
