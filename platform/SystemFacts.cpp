// SPDX-License-Identifier: MIT
#include "platform/SystemFacts.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace hmr {
namespace {

constinit InstalledService<SystemFacts, LinuxSystemFacts> inUse;

}  // namespace

std::optional<std::string> LinuxSystemFacts::logonName() const {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_name)
    return std::string(found->pw_name);
  char name[256];
  if (getlogin_r(name, sizeof name) == 0) return std::string(name);
  return std::nullopt;
}

std::string LinuxSystemFacts::executablePath() const {
  std::vector<char> buffer(4096);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return {};
  return std::string(buffer.data(), static_cast<std::size_t>(n));
}

std::string LinuxSystemFacts::systemFolder() const {
  const char* configured = std::getenv("HMR_SYSTEM_FOLDER");
  return configured && *configured ? std::string(configured) : std::string("/usr/lib");
}

SystemFacts& currentSystemFacts() { return inUse.current(); }

SystemFacts* installSystemFacts(SystemFacts* facts) { return inUse.install(facts); }

}  // namespace hmr
