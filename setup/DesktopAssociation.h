// SPDX-License-Identifier: MIT
// Data files that open in the viewer with a double click on a Linux desktop: the freedesktop
// way, for the current user only, without root.
#pragma once

#include <string>
#include <vector>

#include "setup/InstallerOutput.h"

namespace hmr {

// The type that the desktop gives HMR data files.
inline constexpr const char* HmrMimeType = "application/x-hmr-data";
inline constexpr const char* ViewerDesktopEntry = "hmr-viewer.desktop";

class DesktopAssociation {
 public:
  virtual ~DesktopAssociation() = default;
  // Associates data files with the viewer program at `viewerPath` (absolute). Returns the
  // sentence for the installer's message that says what was done or what could not be.
  virtual std::string associate(const std::string& viewerPath, InstallerOutput& output) = 0;
};

// One file of the association: its path below a data folder (share/ of a system, or the
// user's $XDG_DATA_HOME) and its text.
struct DesktopFile {
  std::string path;
  std::string text;
};

// The association's files for the viewer started as `viewerPath` (absolute, or a bare program
// name found on PATH, as a system installation's desktop entry names it): the shared-mime-info
// type, the viewer's desktop entry and its icon.
std::vector<DesktopFile> desktopFiles(const std::string& viewerPath);

// Below the data folder ($XDG_DATA_HOME, else ~/.local/share): the shared-mime-info type
// (mime/packages/hmr.xml, globs *.HMR and *.hmr), the viewer's desktop entry
// (applications/hmr-viewer.desktop, Exec with the absolute path and %f) and its icon in the
// hicolor theme (icons/hicolor/scalable/apps/hmr-viewer.svg); then the real tools make the
// viewer the type's default application (xdg-mime default) and refresh the MIME and desktop
// databases (update-mime-database, update-desktop-database). Running it again writes the same
// files. A tool that is missing or fails is reported (output.reportProblem) and named in the
// returned sentence; the files are written all the same.
class FreedesktopAssociation final : public DesktopAssociation {
 public:
  // `dataHome` empty: the user's data folder as above.
  explicit FreedesktopAssociation(std::string dataHome = {});
  std::string associate(const std::string& viewerPath, InstallerOutput& output) override;

  const std::string& dataHome() const { return dataHome_; }

 private:
  std::string dataHome_;
};

// The Exec key's program part for `path`: the path as it is, or quoted as desktop entries
// require when it holds a reserved character (a blank, a quote, "$", ...).
std::string desktopExecProgram(const std::string& path);

}  // namespace hmr
