// SPDX-License-Identifier: MIT
// hmr-ide: the stand-in IDE. Loads the packages listed under its version's Known Packages and
// plays a script of user actions on a virtual clock, sending the notices the real IDE sends.
// With --gui (where it is built with Qt) it runs a Qt application instead: a window whose
// menus play the user's actions in real time, the tracker's View-menu entry opening the
// tracker dialog while the IDE's timers keep firing.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>

#include "host/ide/IdeScript.h"
#include "host/ide/StandInIde.h"
#include "platform/FileRead.h"
#include "platform/SettingsStore.h"
#include "platform/SqliteSettingsStore.h"
#include "platform/StandardOutput.h"

namespace {

// A script longer than this is no script of user actions.
constexpr std::size_t kMaxScriptBytes = std::size_t{16} << 20;

}  // namespace

#if HMR_IDE_WITH_QT
#include <QApplication>

#include "host/ide/IdeWindow.h"
#endif

namespace {

// Reads the script at `path` ("-" for standard input) whole, before anything runs: a folder,
// a FIFO or a device is refused at once instead of played as an empty script or waited for.
// Returns false after saying why.
bool readScript(const std::string& path, std::string& text) {
  if (path == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return true;
  }
  try {
    text = hmr::readWholeFile(path, kMaxScriptBytes);
    return true;
  } catch (const std::exception& e) {
    std::cerr << "hmr-ide: cannot read script " << path << ": " << e.what() << "\n";
    return false;
  }
}

// Plays a script read from `path`. Returns the program's status so far: 0, 1 for an error of
// the IDE, 2 for an error of the script.
int playScript(hmr::StandInIde& ide, const std::string& text, const std::string& path) {
  std::istringstream script(text);
  try {
    hmr::runIdeScript(ide, script);
  } catch (const hmr::ScriptError& e) {
    std::cerr << "hmr-ide: script " << (path == "-" ? "<stdin>" : path) << ", " << e.what()
              << "\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "hmr-ide: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

#if HMR_IDE_WITH_QT
int runWindowed(int argc, char** argv, int version, const std::string& scriptPath,
                const std::string& scriptText, hmr::SettingsStore& store) {
  // The IDE offers its packages Qt widgets: the application exists before any package loads.
  QApplication app(argc, argv);
  hmr::StandInIde ide(version, store, std::cout, std::cerr);
  ide.offerWindows(hmr::HostWindows::qtWidgets);
  ide.runInRealTime();
  try {
    ide.ensureVersionKey();
    ide.loadKnownPackages();
  } catch (const std::exception& e) {
    std::cerr << "hmr-ide: " << e.what() << "\n";
    return 1;
  }
  if (!scriptPath.empty()) {
    if (const int status = playScript(ide, scriptText, scriptPath); status != 0) return status;
  }
  hmr::IdeWindow window(ide);
  window.show();
  const int status = QApplication::exec();
  // The time up to now counts in the sessions that close as the packages unload.
  try {
    ide.catchUp();
  } catch (const std::exception& e) {
    std::cerr << "hmr-ide: " << e.what() << "\n";
  }
  return status;
  // Leaving the scope closes the window, then unloads the packages, which closes and saves
  // every project.
}
#endif

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "hmr-ide: a stand-in for the Delphi IDE. Loads the packages listed under the IDE's "
      "\"Known Packages\" key in the settings store ($HMR_REGISTRY, else "
      "~/.config/hmr/registry.db) and plays a script of user actions on a virtual clock.\n"
      "Script commands, one per line: " +
      hmr::scriptCommandsHelp()};
  int version = 5;
  std::string scriptPath;
  app.add_option("--ide-version", version, "IDE version to play: 5 or 4 (default 5)")
      ->check(CLI::IsMember({4, 5}));
  CLI::Option* script =
      app.add_option("--script", scriptPath, "Script file, or - for standard input");
  [[maybe_unused]] bool gui = false;  // only a build with Qt has --gui
#if HMR_IDE_WITH_QT
  app.add_flag("--gui", gui,
               "Run with windows, in real time: the IDE's window plays your actions and its "
               "View menu opens the tracker dialog. A --script given plays first, without "
               "clock and advance.");
  const bool guiAsked = std::any_of(argv + 1, argv + argc,
                                    [](const char* a) { return std::strcmp(a, "--gui") == 0; });
#else
  const bool guiAsked = false;
#endif
  if (!guiAsked) script->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help ends well; every usage error ends with status 2, as a script error does.
    return app.exit(e) == 0 ? 0 : 2;
  }

  std::string scriptText;
  if (!scriptPath.empty() && !readScript(scriptPath, scriptText)) return 2;

  std::unique_ptr<hmr::SettingsStore> store;
  try {
    store = hmr::openDefaultSettingsStore();
  } catch (const std::exception& e) {
    std::cerr << "hmr-ide: " << e.what() << "\n";
    return 1;
  }

#if HMR_IDE_WITH_QT
  if (gui) return runWindowed(argc, argv, version, scriptPath, scriptText, *store);
#endif
  int status = 0;
  {
    hmr::StandInIde ide(version, *store, std::cout, std::cerr);
    try {
      ide.ensureVersionKey();
      ide.loadKnownPackages();
      status = playScript(ide, scriptText, scriptPath);
    } catch (const std::exception& e) {
      std::cerr << "hmr-ide: " << e.what() << "\n";
      status = 1;
    }
    // Leaving the scope unloads the packages, which closes and saves every project.
  }
  if (!hmr::standardOutputWritten("hmr-ide") && status == 0) return 1;
  return status;
}
