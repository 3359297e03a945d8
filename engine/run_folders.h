// Where a run keeps its files.
#pragma once

#include <string>

#include "engine/test_context.h"

/// The run's files folder: test.filesFolder, else the program's folder.
std::wstring FilesFolder(const CSSDTest& test);

/// The folder the result log is published to: test.sharedFolder, else the
/// platform's shared folder.
std::wstring PublishFolder(const CSSDTest& test);
