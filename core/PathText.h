// SPDX-License-Identifier: MIT
// Text operations on file paths. "/" separates folders; a name's extension starts at its
// last "." after the last "/".
#pragma once

#include <string>
#include <string_view>

namespace hmr {

// The path with its extension replaced by `ext` (which includes its dot), or with `ext`
// appended when the name has no extension.
std::string changeFileExt(std::string_view path, std::string_view ext);
// The name after the last "/" (the whole path when it has none).
std::string extractFileName(std::string_view path);
// The folder part: everything up to and including the last "/" ("" when there is none).
std::string extractFilePath(std::string_view path);
// The name without folder and without extension.
std::string extractBaseName(std::string_view path);
// The text without leading and trailing spaces and control characters (bytes up to 0x20).
std::string trimText(std::string_view text);
bool isBlank(std::string_view text);
// Equal apart from ASCII letter case.
bool sameText(std::string_view a, std::string_view b);
// ASCII upper case; other bytes (UTF-8 sequences among them) are left as they are.
std::string upperCase(std::string_view text);

}  // namespace hmr
