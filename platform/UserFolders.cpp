// SPDX-License-Identifier: MIT
#include "platform/UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>
#include <vector>

namespace hmr {
namespace {

std::string& recoveryFolderSetting() {
  static std::string folder;
  return folder;
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

std::string userHomeFolder() {
  if (std::string home = environment("HOME"); !home.empty()) return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir)
    return found->pw_dir;
  return {};
}

std::string recoveryFolder() {
  if (!recoveryFolderSetting().empty()) return recoveryFolderSetting();
  if (std::string state = environment("XDG_STATE_HOME"); !state.empty() && state.front() == '/')
    return state + "/hmr";
  const std::string home = userHomeFolder();
  return home.empty() ? std::string() : home + "/.local/state/hmr";
}

std::string setRecoveryFolder(std::string folder) {
  return std::exchange(recoveryFolderSetting(), std::move(folder));
}

}  // namespace hmr
