// SPDX-License-Identifier: MIT
// hmr-ide: the stand-in IDE. Loads the packages listed under its version's Known Packages and
// plays a script of user actions on a virtual clock, sending the notices the real IDE sends.
#include <CLI/CLI.hpp>
#include <cstddef>
#include <iostream>
#include <memory>
#include <sstream>

#include "host/ide/IdeScript.h"
#include "host/ide/StandInIde.h"
#include "platform/SettingsStore.h"
#include "platform/FileRead.h"
#include "platform/SqliteSettingsStore.h"
#include "platform/StandardOutput.h"

namespace {

// A script longer than this is no script of user actions.
constexpr std::size_t kMaxScriptBytes = std::size_t{16} << 20;

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "hmr-ide: a stand-in for the Delphi IDE. Loads the packages listed under the IDE's "
      "\"Known Packages\" key in the settings store ($HMR_REGISTRY, else "
      "~/.config/hmr/registry.db) and plays a script of user actions on a virtual clock.\n"
      "Script commands, one per line: clock YYYY-MM-DDTHH:MM:SS | advance SECONDS | "
      "open-project PATH | open-file PATH [OWNER...] | activate PATH | edit PATH | "
      "edit-form PATH | rename PATH NEWPATH | close-file PATH | close-project PATH | "
      "install-package PATH | menu CAPTION | quit"};
  int version = 5;
  std::string scriptPath;
  app.add_option("--ide-version", version, "IDE version to play: 5 or 4 (default 5)")
      ->check(CLI::IsMember({4, 5}));
  app.add_option("--script", scriptPath, "Script file, or - for standard input")->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help ends well; every usage error ends with status 2, as a script error does.
    return app.exit(e) == 0 ? 0 : 2;
  }

  // A script is a regular file, read whole before anything runs: a folder, a FIFO or a device
  // is refused at once instead of played as an empty script or waited for.
  std::istringstream file;
  std::istream* script = &std::cin;
  if (scriptPath != "-") {
    try {
      file.str(hmr::readWholeFile(scriptPath, kMaxScriptBytes));
    } catch (const std::exception& e) {
      std::cerr << "hmr-ide: cannot read script " << scriptPath << ": " << e.what() << "\n";
      return 2;
    }
    script = &file;
  }

  std::unique_ptr<hmr::SettingsStore> store;
  try {
    store = hmr::openDefaultSettingsStore();
  } catch (const std::exception& e) {
    std::cerr << "hmr-ide: " << e.what() << "\n";
    return 1;
  }

  int status = 0;
  {
    hmr::StandInIde ide(version, *store, std::cout, std::cerr);
    try {
      ide.ensureVersionKey();
      ide.loadKnownPackages();
      hmr::runIdeScript(ide, *script);
    } catch (const hmr::ScriptError& e) {
      std::cerr << "hmr-ide: script " << (scriptPath == "-" ? "<stdin>" : scriptPath) << ", "
                << e.what() << "\n";
      status = 2;
    } catch (const std::exception& e) {
      std::cerr << "hmr-ide: " << e.what() << "\n";
      status = 1;
    }
    // Leaving the scope unloads the packages, which closes and saves every project.
  }
  if (!hmr::standardOutputWritten("hmr-ide") && status == 0) return 1;
  return status;
}
