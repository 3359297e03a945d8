// Replacing a small file as a whole: readers see the old or the new content,
// never a torn one.
#pragma once

#include <cstddef>
#include <string>

/// Writes `size` bytes under a temporary name next to `path`, then renames it
/// into place. Returns an empty text on success, else the system's reason.
std::string ReplaceFileContents(const std::wstring& path, const void* data, std::size_t size);
