// Text from drives, files and the command line made safe to show and to use
// in file names: a control byte or ESC never reaches the console raw, and a
// path separator never moves a file out of its folder.
#pragma once

#include <string>

/// `text` with every byte outside printable ASCII (0x20..0x7E) replaced by '?'.
std::string PrintableText(const std::string& text);

/// `text` fit to be part of a file name on every system: bytes outside
/// printable ASCII, path separators and the characters Windows forbids in
/// names (: * ? " < > |) replaced by '_'.
std::string FileNameText(const std::string& text);
