// SPDX-License-Identifier: MIT
// The viewer host: a project group of host tool ftViewer that shows the tracker dialog in
// stand-alone mode on a data file given by name, and ends when the dialog closes.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace hmr {

class SettingsStore;

// What the command line asks of the viewer.
struct ViewerOptions {
  std::string file;  // the data file to open; empty for none
};

// Parses `hmr-viewer [FILE]`. Returns the options, or the status to end with at once: 0 after
// --help (printed to `out`), 2 after a usage error (explained on `err`).
std::optional<ViewerOptions> parseViewerOptions(int argc, char** argv, int& status,
                                                std::ostream& out, std::ostream& err);

// The name under which the viewer opens FILE: as given, made absolute when relative (the
// tracker reads only data files named with their folder). Letter case and extension are kept.
std::string viewerFilePath(const std::string& given);

// Runs the viewer in the running QApplication: creates the timer and the group (its settings
// in `store`, or the default store when needed; not owned), shows the dialog on
// options.file and returns when it has closed, the group having closed every data file again.
// A file that cannot be read is reported in the read error's message box over the dialog,
// which stays usable. Returns the program's status: 0, or 1 with the error on `err`.
int runViewer(const ViewerOptions& options, SettingsStore* store, std::ostream& err);

}  // namespace hmr
