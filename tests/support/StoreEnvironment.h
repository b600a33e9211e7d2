// SPDX-License-Identifier: MIT
// Keeps the programs a test runs away from the user's settings.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace hmr::test_support {

// Points HMR_REGISTRY at `storePath` and HOME at `home`, and unsets XDG_CONFIG_HOME,
// XDG_STATE_HOME and XDG_DATA_HOME (so that recovery files and the desktop's association go
// below `home` too), for the lifetime of this object; then puts them back as they were.
class StoreEnvironment {
 public:
  StoreEnvironment(const std::string& storePath, const std::string& home) {
    for (const char* name : {"HMR_REGISTRY", "HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME",
                             "XDG_DATA_HOME"}) {
      const char* old = std::getenv(name);
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    }
    setenv("HMR_REGISTRY", storePath.c_str(), 1);
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_STATE_HOME");
    unsetenv("XDG_DATA_HOME");
  }
  ~StoreEnvironment() {
    for (const auto& [name, value] : saved_)
      value ? setenv(name, value->c_str(), 1) : unsetenv(name);
  }
  StoreEnvironment(const StoreEnvironment&) = delete;
  StoreEnvironment& operator=(const StoreEnvironment&) = delete;

 private:
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

}  // namespace hmr::test_support
