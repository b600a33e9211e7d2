// SPDX-License-Identifier: MIT
// Data files read and decoded ahead of their use, several at once: a report over a team's
// checkout spends most of its time decoding files, and each file decodes on its own.
#pragma once

#include <exception>
#include <span>
#include <string>
#include <vector>

#include "core/HMRFileFormat.h"

namespace hmr {

// One data file as readHmrFile left it: its contents, and the read error when it failed
// (an HmrError with the read message naming the file); `contents` then holds what was
// decoded before the failure.
struct DataFileRead {
  HmrFileContents contents;
  std::exception_ptr failure;
};

// Reads and decodes every file of `paths` with readHmrFile on up to `threads` threads (0: one
// per processor), each file on one thread; the results stand in the order of `paths`. Never
// throws for a file: each failure is kept in its result.
std::vector<DataFileRead> readDataFilesAhead(std::span<const std::string> paths,
                                             unsigned threads = 0);

}  // namespace hmr
