// SPDX-License-Identifier: MIT
// The body shared by the two installer programs, hmrsetup5 and hmrsetup4.
#pragma once

#include <functional>
#include <memory>

#include "platform/SettingsStore.h"
#include "setup/DesktopAssociation.h"
#include "setup/InstallerOutput.h"

namespace hmr {

// Opens the store with `openStore` and runs InstallPackage(Version) on it, with `desktop` (may
// be nullptr) for the desktop's association. A store that cannot be opened at all counts as an
// IDE key that cannot be opened: its cause is reported and the "not installed" message is
// shown. Returns whether it installed. Never throws an HmrError.
bool runInstaller(int Version, const std::function<std::unique_ptr<SettingsStore>()>& openStore,
                  InstallerOutput& output, DesktopAssociation* desktop = nullptr);

// The whole program: without arguments it installs for `Version` into the default settings
// store ($HMR_REGISTRY, else the user's) and returns 0 when it installed, 1 when it aborted
// (its message says why) or its messages could not be written; --help prints the usage and
// returns 0; any other argument is a usage error (2) and installs nothing.
int runInstallerProgram(int Version, int argc, char** argv);

}  // namespace hmr
