// SPDX-License-Identifier: MIT
// Reading whole files.
#pragma once

#include <cerrno>
#include <cstddef>
#include <string>
#include <system_error>

namespace hmr {

// True when something by the name `path` exists: a file, but also a folder, a FIFO or a
// device, which reading it then refuses with a message naming what it is.
bool pathExists(const std::string& path);

// The whole contents of the regular file `path`. Throws std::system_error whose what() is the
// system's reason (strerror text) when the file cannot be opened or read, EISDIR ("Is a
// directory") for a folder, and EFBIG ("File too large") when it holds more than `maxBytes`
// bytes, before reading any of it. Anything else that is not a regular file (a FIFO, a
// device, a socket) is refused with NotRegularFile before reading, and never waited for: the
// file is opened without blocking and checked on the open descriptor.
std::string readWholeFile(const std::string& path, std::size_t maxBytes);

// The refusal of a file that is neither a regular file nor a folder.
class NotRegularFile : public std::system_error {
 public:
  NotRegularFile() : std::system_error(EINVAL, std::generic_category()) {}
  const char* what() const noexcept override { return "Not a regular file"; }
};

}  // namespace hmr
