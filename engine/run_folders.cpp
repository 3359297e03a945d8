#include "engine/run_folders.h"

#include "platform/process.h"

std::wstring ProgramFolder(const RunSettings& settings) {
    return settings.programFolder.empty() ? platform::ViewerFolder() : settings.programFolder;
}

std::wstring FilesFolder(const RunSettings& settings) {
    if (!settings.filesFolder.empty()) return settings.filesFolder;
    return settings.programFolder.empty() ? platform::DataFolder() : settings.programFolder;
}

std::wstring PublishFolder(const RunSettings& settings) {
    return settings.sharedFolder.empty() ? platform::SharedFolder() : settings.sharedFolder;
}
