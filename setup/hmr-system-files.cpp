// SPDX-License-Identifier: MIT
// hmr-system-files: writes the files a system installation of HMR needs that name where the
// installation puts its programs, from the same code the per-user installers use: the viewer's
// desktop association (MIME type, desktop entry, icon) and the Lazarus package's
// hmrtrackerlibrary.inc naming the installed tracker library. The build runs it; the files go
// below share/ of the installation.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "platform/FileWriter.h"
#include "platform/HmrError.h"
#include "setup/DesktopAssociation.h"
#include "setup/LazarusSetup.h"

namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& text) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  if (error) throw hmr::HmrError("cannot create " + path.parent_path().string() + ": " +
                                 error.message());
  try {
    hmr::currentFileWriter().replaceContents(path.string(), text);
  } catch (const std::system_error& e) {
    throw hmr::HmrError("cannot write " + path.string() + ": " + e.what());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* program = "hmr-system-files";
  CLI::App app{"hmr-system-files: writes below DATA_DIR (the share/ folder of an installation, "
               "as staged by the build) the viewer's MIME type, desktop entry and icon, and "
               "hmr/lazarus/hmrtrackerlibrary.inc naming the installed tracker library. Exits "
               "with 0 when done, 1 when a file cannot be written, 2 on a usage error.",
               program};
  std::string dataDir;
  std::string viewer;
  std::string library;
  app.add_option("DATA_DIR", dataDir, "the folder to write into")->required();
  app.add_option("--viewer", viewer, "the viewer as the desktop entry starts it")->required();
  app.add_option("--library", library, "the installed tracker library (absolute)")->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? 0 : 2;
  }
  try {
    if (!fs::path(library).is_absolute())
      throw hmr::HmrError("the tracker library must be an absolute path: " + library);
    for (const hmr::DesktopFile& file : hmr::desktopFiles(viewer))
      writeFile(fs::path(dataDir) / file.path, file.text);
    writeFile(fs::path(dataDir) / "hmr/lazarus/hmrtrackerlibrary.inc",
              hmr::trackerLibraryInclude(library));
  } catch (const std::exception& e) {
    std::cerr << program << ": " << e.what() << "\n";
    return 1;
  }
  return 0;
}
