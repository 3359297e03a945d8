// Where a run keeps its files.
#pragma once

#include <string>

#include "engine/test_context.h"

/// The run's program folder, where the viewer is started from:
/// test.programFolder, else the platform's viewer folder.
std::wstring ProgramFolder(const CSSDTest& test);

/// The run's files folder: test.filesFolder, else test.programFolder, else
/// the platform's data folder (the program's folder unless installed).
std::wstring FilesFolder(const CSSDTest& test);

/// The folder the result log is published to: test.sharedFolder, else the
/// platform's shared folder.
std::wstring PublishFolder(const CSSDTest& test);
