// SPDX-License-Identifier: MIT
// hmrsetup-lazarus: puts HMR into the user's own Lazarus IDE, or takes it out again.
#include <CLI/CLI.hpp>
#include <iostream>

#include "platform/HmrError.h"
#include "platform/StandardOutput.h"
#include "platform/SystemFacts.h"
#include "platform/UserFolders.h"
#include "setup/LazarusSetup.h"

namespace {

// Where a system installation keeps the package sources, seen from the program's folder.
constexpr const char* kSystemPackageFolder = "../share/hmr/lazarus";

}  // namespace

int main(int argc, char** argv) {
  const char* program = "hmrsetup-lazarus";
  CLI::App app{
      "hmrsetup-lazarus: installs HMR into your own Lazarus IDE the way Lazarus installs a "
      "design-time package for a user: the package hmrlazarus goes on the install list of your "
      "primary configuration CONFIG_DIR (default ~/.lazarus) and lazbuild rebuilds the IDE "
      "there (CONFIG_DIR/bin/lazarus), which startlazarus and the desktop menu entry start. "
      "Your options, recent projects and installed packages stay, the packages your IDE was "
      "built with (Debian's included) among them; the Lazarus installation is never written, "
      "so run it as yourself, not as root. Run again after an upgrade of HMR: it rebuilds only "
      "when the package changed. From a build tree the tracker library and the package go to "
      "~/.local/lib/hmr and ~/.local/share/hmr/lazarus; from the system package (hmr in /usr) "
      "the installed ones are used as they are. lazbuild's output goes to "
      "~/.cache/hmr/hmrsetup-lazarus.log. Exits with 0 when done, "
      "1 on failure (the message names the file and the cause), 2 on a usage error.",
      program};
  std::string config;
  bool uninstall = false;
  bool packages = false;
  app.add_option("CONFIG_DIR", config, "the Lazarus primary configuration (default ~/.lazarus)");
  auto* out = app.add_flag("--uninstall", uninstall,
                           "take HMR out of the IDE and rebuild it; your options, other "
                           "packages, data files (.HMR) and HMR's settings stay");
  app.add_flag("--packages", packages,
               "list the packages the IDE that startlazarus starts was built with, beyond "
               "Lazarus's base set, and change nothing")
      ->excludes(out);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? 0 : 2;
  }
  const std::string home = hmr::userHomeFolder();
  bool done = false;
  try {
    if (home.empty()) throw hmr::HmrError("there is no home folder ($HOME is not set)");
    if (packages) {
      hmr::LazarusSetup(hmr::HmrLazarusPackage{}, home, std::cout).listPackages(config);
    } else {
      hmr::LazarusSetup setup(
          hmr::findHmrLazarusPackage(hmr::LinuxSystemFacts().executablePath(),
                                     kSystemPackageFolder), home,
          std::cout);
      if (uninstall) {
        setup.uninstall(config);
      } else {
        setup.install(config);
      }
    }
    done = true;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << program << ": " << e.what() << "\n";
  }
  return hmr::standardOutputWritten(program) && done ? 0 : 1;
}
