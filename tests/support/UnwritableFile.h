// SPDX-License-Identifier: MIT
// A file this process may read but not write, for as long as the object lives.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace hmr::test_support {

// Root, whom permissions do not stop, gets an immutable file (chattr +i, where the file
// system has it); anyone else a file without write permission. locked() tells whether it
// worked; the destructor makes the file writable again.
class UnwritableFile {
 public:
  explicit UnwritableFile(std::string path) : path_(std::move(path)) {
    locked_ = geteuid() == 0 ? chattr("+i") : chmod(path_.c_str(), 0444) == 0;
  }
  ~UnwritableFile() {
    if (geteuid() == 0) chattr("-i");
    chmod(path_.c_str(), 0644);
  }
  UnwritableFile(const UnwritableFile&) = delete;
  UnwritableFile& operator=(const UnwritableFile&) = delete;

  bool locked() const { return locked_; }

 private:
  bool chattr(const char* change) const {
    testing::TempFolder scratch;
    return runProgram("/usr/bin/chattr", {change, path_}, scratch.path(),
                      {std::chrono::seconds(10), {}})
               .status == 0;
  }

  std::string path_;
  bool locked_ = false;
};

}  // namespace hmr::test_support
