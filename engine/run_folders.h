// Where a run keeps its files.
#pragma once

#include <string>

#include "engine/test_context.h"

/// The run's program folder: test.programFolder, else the folder of the
/// running program.
std::wstring ProgramFolder(const CSSDTest& test);

/// The run's files folder: test.filesFolder, else the run's program folder.
std::wstring FilesFolder(const CSSDTest& test);

/// The folder the result log is published to: test.sharedFolder, else the
/// platform's shared folder.
std::wstring PublishFolder(const CSSDTest& test);
