// The program's version, generated when it is built.
#pragma once

/// CMake's project version and the source commit, e.g. "1.1.0 (git 57267b8)";
/// the commit reads "unknown" when the source was not in git.
const char* BuildVersion();
