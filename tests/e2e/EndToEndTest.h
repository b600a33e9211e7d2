// SPDX-License-Identifier: MIT
// What the end-to-end tests share: a scratch folder with a settings store of its own, the
// programs of the build, and a way to run the stand-in IDE on a script.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "core/HMRFileIO.h"
#include "platform/SqliteSettingsStore.h"
#include "tests/support/RunProgram.h"
#include "tests/support/StoreEnvironment.h"
#include "tests/support/TempFolder.h"

namespace hmr {

inline const std::string kBuild = HMR_BUILD_DIR;
inline const std::string kBin = kBuild + "/bin";
inline const std::string kHmr = kBin + "/hmr";
constexpr RegistryRoot kHKCU = RegistryRoot::CurrentUser;
constexpr RegistryRoot kHKCR = RegistryRoot::ClassesRoot;
constexpr RegistryRoot kHKLM = RegistryRoot::LocalMachine;

// Every test on a store of its own in a scratch folder; the environment is put back after.
class EndToEndTest : public ::testing::Test {
 protected:
  std::optional<std::string> stored(RegistryRoot root, const std::string& key,
                                    const std::string& name) {
    SqliteSettingsStore store(store_);
    return store.readString(root, key, name);
  }

  // Runs a script in the stand-in IDE with the scratch folder as its working folder.
  test_support::ProgramRun runIde(const std::string& script, const std::string& version = "5",
                                  const test_support::RunOptions& options = {}) {
    const std::string scriptFile = scratch_.file("run.script");
    std::ofstream(scriptFile) << script;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(scratch_.path());
    auto run = test_support::runProgram(
        kBin + "/hmr-ide", {"--ide-version", version, "--script", scriptFile}, scratch_.path(),
        options);
    std::filesystem::current_path(previous);
    return run;
  }

  hmr::testing::TempFolder scratch_;
  std::string store_ = scratch_.file("registry.db");
  test_support::StoreEnvironment environment_{store_, scratch_.path()};
};

struct Figures {
  std::int64_t total, idle, work;
};

inline Figures onlySession(const std::string& path) {
  HmrFileContents contents;
  readHmrFile(path, contents);
  EXPECT_EQ(contents.sessions.size(), 1u) << path;
  if (contents.sessions.empty()) return {-1, -1, -1};
  const TSessionData& s = contents.sessions.front();
  EXPECT_FALSE(s.SessionNotClosed);
  return {s.SessionTotalTime, s.SessionIdleTime, s.SessionWorkTime};
}

}  // namespace hmr
