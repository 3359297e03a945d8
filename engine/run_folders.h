// Where a run keeps its files.
#pragma once

#include <string>

#include "engine/context_roles.h"

/// The run's program folder, where the viewer is started from:
/// settings.programFolder, else the platform's viewer folder.
std::wstring ProgramFolder(const RunSettings& settings);

/// The run's files folder: settings.filesFolder, else settings.programFolder, else
/// the platform's data folder (the program's folder unless installed).
std::wstring FilesFolder(const RunSettings& settings);

/// The folder the result log is published to: settings.sharedFolder, else the
/// platform's shared folder.
std::wstring PublishFolder(const RunSettings& settings);
