// SPDX-License-Identifier: MIT
// The user's own folders where HMR keeps what belongs to the user rather than to a project.
#pragma once

#include <string>

namespace hmr {

// $HOME, else the home folder of the account database; "" when neither gives one.
std::string userHomeFolder();

// Where recovery copies of data files are kept: $XDG_STATE_HOME/hmr when that is an absolute
// path, else <home>/.local/state/hmr; "" when there is no home folder. A folder set with
// setRecoveryFolder (tests, hosts that keep their own) takes precedence.
std::string recoveryFolder();

// Sets the folder that recoveryFolder returns ("" restores the default) and returns the
// previous setting.
std::string setRecoveryFolder(std::string folder);

// Sets the recovery folder for the lifetime of this object.
class ScopedRecoveryFolder {
 public:
  explicit ScopedRecoveryFolder(std::string folder)
      : previous_(setRecoveryFolder(std::move(folder))) {}
  ~ScopedRecoveryFolder() { setRecoveryFolder(previous_); }
  ScopedRecoveryFolder(const ScopedRecoveryFolder&) = delete;
  ScopedRecoveryFolder& operator=(const ScopedRecoveryFolder&) = delete;

 private:
  std::string previous_;
};

}  // namespace hmr
