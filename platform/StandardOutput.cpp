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
  int error = errno;  // the first failure's reason
  const bool flushFailed = std::fflush(stdout) != 0;
  if (error == 0) error = errno;
  if (!streamFailed && !flushFailed && std::ferror(stdout) == 0) return true;
  // An earlier flush (standard error flushes standard output first) may have failed with the
  // reason long gone; then there is none to give.
  std::cerr << program << ": cannot write to standard output";
  if (error != 0) std::cerr << ": " << std::strerror(error);
  std::cerr << "\n";
  return false;
}

}  // namespace hmr
