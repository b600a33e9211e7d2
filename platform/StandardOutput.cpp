// SPDX-License-Identifier: MIT
#include "platform/StandardOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace hmr {

bool standardOutputWritten(const char* program) {
  errno = 0;
  std::cout.flush();
  const bool streamFailed = !std::cout;
  const bool flushFailed = std::fflush(stdout) != 0;
  const int error = errno;
  if (!streamFailed && !flushFailed && std::ferror(stdout) == 0) return true;
  std::cerr << program << ": cannot write to standard output: "
            << std::strerror(error != 0 ? error : EIO) << "\n";
  return false;
}

}  // namespace hmr
