// SPDX-License-Identifier: MIT
// Reading whole files.
#pragma once

#include <cstddef>
#include <string>

namespace hmr {

// True when `path` names an existing file that is not a folder.
bool fileExists(const std::string& path);

// The whole contents of `path`. Throws std::system_error whose what() is the system's reason
// (strerror text) when the file cannot be opened or read, and EFBIG ("File too large") when it
// holds more than `maxBytes` bytes, before reading any of it.
std::string readWholeFile(const std::string& path, std::size_t maxBytes);

}  // namespace hmr
