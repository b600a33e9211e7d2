// SPDX-License-Identifier: MIT
// What the tests of the IDE host, its personas and the package share: date-times written as
// ISO text, the Delphi 5 package linked in as an IDE enters a package library, and a scratch
// folder of the test's own.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include <sstream>

#include "core/uHMRGlobal.h"
#include "ide/HMExpertPackage.h"
#include "idehosting/PackageRecord.h"
#include "platform/MemorySettingsStore.h"
#include "platform/UserFolders.h"

namespace hmr::ide_test {

inline TDateTime at(const char* iso) {
  TDateTime when = 0;
  EXPECT_TRUE(parseIsoDateTime(iso, when)) << iso;
  return when;
}

inline PackageEntryPoints linkedPackage() {
  return {&hmrPackageLoad, &Register, &hmrPackageUnload};
}

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "hmr-ide-XXXXXX").string();
    if (!mkdtemp(pattern.data())) ADD_FAILURE() << "cannot make a scratch folder";
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// What an IDE of a test works with: a scratch folder for its data files (and the recovery
// files of its projects), a settings store in memory, and its output and error streams.
struct IdeTestWorld {
  std::string file(const std::string& name) const { return scratch.file(name); }

  ScratchFolder scratch;
  ScopedRecoveryFolder recovery{scratch.file("state/hmr")};
  MemorySettingsStore store;
  std::ostringstream out;
  std::ostringstream err;
};

}  // namespace hmr::ide_test
