// SPDX-License-Identifier: MIT
#include "setup/InstallerProgram.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

#include "platform/HmrError.h"
#include "platform/SqliteSettingsStore.h"
#include "platform/StandardOutput.h"
#include "setup/uHMRDelphi.h"

namespace hmr {

bool runInstaller(int Version, const std::function<std::unique_ptr<SettingsStore>()>& openStore,
                  InstallerOutput& output, DesktopAssociation* desktop) {
  std::unique_ptr<SettingsStore> store;
  try {
    store = openStore();
  } catch (const HmrError& e) {
    output.reportProblem(e.what());
  }
  if (store) return InstallPackage(Version, *store, output, desktop);
  // Without a store no key opens, so the installation stops where the IDE check fails.
  output.showMessage(InstallMessageTitle, NotInstalledMessage(Version));
  return false;
}

int runInstallerProgram(int Version, int argc, char** argv) {
  const std::string program = Version == 4 ? "hmrsetup4" : "hmrsetup5";
  const std::string ide = Version == 4 ? "Delphi 4" : "Delphi 5";
  CLI::App app{program + ": register the HMR package " +
               (Version == 4 ? "HMExpert40.bpl" : "HMExpert50.bpl") +
               " that lies beside this program with the " + ide +
               " IDE, and associate .HMR data files with the viewer hmr-viewer in the same "
               "folder: in the settings store $HMR_REGISTRY (else $XDG_CONFIG_HOME/hmr/registry.db, else "
               "~/.config/hmr/registry.db), and on the desktop for the current user (a MIME type, "
               "a desktop entry and an icon below $XDG_DATA_HOME, else ~/.local/share; the "
               "viewer as the type's default application). Takes no arguments; exits with 0 when "
               "it installed, 1 when it aborted (its message says why) or its messages "
               "cannot be written.",
               program};
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? 0 : 2;
  }
  ConsoleInstallerOutput output(std::cout, std::cerr, program);
  FreedesktopAssociation desktop;
  const bool installed =
      runInstaller(Version, [] { return openDefaultSettingsStore(); }, output, &desktop);
  return standardOutputWritten(program.c_str()) && installed ? 0 : 1;
}

}  // namespace hmr
