// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

#include "platform/InstalledService.h"

namespace hmr {

// Facts about the running system that the tracker asks for.
class SystemFacts {
 public:
  virtual ~SystemFacts() = default;
  // The logon name of the current account, or nothing when it cannot be read.
  virtual std::optional<std::string> logonName() const = 0;
  // The full path of the running executable, or "" when it cannot be read.
  virtual std::string executablePath() const = 0;
  // The folder that stands for the system's own folder (the Windows directory of the
  // original platform), without a trailing "/".
  virtual std::string systemFolder() const = 0;
};

// Linux: getpwuid_r / getlogin_r, /proc/self/exe, and $HMR_SYSTEM_FOLDER or else "/usr/lib".
class LinuxSystemFacts final : public SystemFacts {
 public:
  std::optional<std::string> logonName() const override;
  std::string executablePath() const override;
  std::string systemFolder() const override;
};

// Fixed answers, for tests and for hosts that report their own choice.
class FixedSystemFacts final : public SystemFacts {
 public:
  std::optional<std::string> logon;
  std::string executable;
  std::string system;
  std::optional<std::string> logonName() const override { return logon; }
  std::string executablePath() const override { return executable; }
  std::string systemFolder() const override { return system; }
};

// The facts in use: the Linux ones until others are installed.
SystemFacts& currentSystemFacts();
// Installs `facts` (not owned; must outlive its installation), returns the previous ones.
// nullptr restores the Linux facts.
SystemFacts* installSystemFacts(SystemFacts* facts);

using ScopedSystemFacts = ScopedInstall<SystemFacts, installSystemFacts>;

}  // namespace hmr
