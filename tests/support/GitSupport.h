// SPDX-License-Identifier: MIT
// The real git, run by tests on repositories of their own: a home, a global config and an
// XDG config folder in the test's scratch folder, no system config, so neither the machine's
// nor the user's git settings reach a test and nothing a test sets reaches them.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ScopedEnvironment.h"
#include "tests/support/RunProgram.h"

namespace hmr::test_support {

// The program `name` on PATH, or "" when there is none.
inline std::string findOnPath(std::string_view name) {
  const char* path = std::getenv("PATH");
  std::string_view rest = path ? path : "/usr/bin:/bin";
  while (true) {
    const std::size_t colon = rest.find(':');
    const std::string folder(rest.substr(0, colon));
    const std::filesystem::path candidate =
        std::filesystem::path(folder.empty() ? "." : folder) / name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    if (colon == std::string_view::npos) return {};
    rest.remove_prefix(colon + 1);
  }
}

// git's environment for one test, put back afterwards: HOME, GIT_CONFIG_GLOBAL and
// XDG_CONFIG_HOME below `scratch`, GIT_CONFIG_NOSYSTEM set, and nothing from a git that runs
// the test (GIT_DIR and the like).
class GitEnvironment {
 public:
  explicit GitEnvironment(const std::string& scratch)
      : home_("HOME", (scratch + "/home").c_str()),
        global_("GIT_CONFIG_GLOBAL", (scratch + "/home/gitconfig").c_str()),
        xdg_("XDG_CONFIG_HOME", (scratch + "/home/xdg").c_str()) {
    std::filesystem::create_directories(scratch + "/home/xdg");
  }

  std::string home() const { return std::getenv("HOME"); }

 private:
  ScopedEnvironment home_;
  ScopedEnvironment global_;
  ScopedEnvironment xdg_;
  ScopedEnvironment noSystem_{"GIT_CONFIG_NOSYSTEM", "1"};
  ScopedEnvironment dir_{"GIT_DIR", nullptr};
  ScopedEnvironment workTree_{"GIT_WORK_TREE", nullptr};
  ScopedEnvironment index_{"GIT_INDEX_FILE", nullptr};
  ScopedEnvironment editor_{"GIT_EDITOR", "true"};
  ScopedEnvironment language_{"LC_ALL", "C"};
};

// Runs git in `folder` (git -C), its output collected in `scratch`.
inline ProgramRun git(const std::string& folder, std::vector<std::string> args,
                      const std::filesystem::path& scratch) {
  static const std::string program = findOnPath("git");
  args.insert(args.begin(), {"-C", folder});
  return runProgram(program, args, scratch);
}

// A new repository in `folder` whose commits are by `user`.
inline void initRepository(const std::string& folder, const std::string& user,
                           const std::filesystem::path& scratch) {
  std::filesystem::create_directories(folder);
  git(folder, {"init", "-q", "-b", "main"}, scratch);
  git(folder, {"config", "user.name", user}, scratch);
  git(folder, {"config", "user.email", user + "@example.org"}, scratch);
}

}  // namespace hmr::test_support
