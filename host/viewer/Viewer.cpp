// SPDX-License-Identifier: MIT
#include "host/viewer/Viewer.h"

#include <CLI/CLI.hpp>
#include <QApplication>
#include <QTimer>
#include <exception>
#include <filesystem>
#include <memory>
#include <ostream>

#include "core/HMRFileIO.h"
#include "core/uHMRGlobal.h"
#include "core/uHMRProjectGroup.h"
#include "core/uHMRTimer.h"
#include "platform/FileRead.h"
#include "ui/ErrorBox.h"
#include "ui/QtPeriodicTimer.h"
#include "ui/QtTrackerUi.h"

namespace hmr {
namespace {

// The read error of a data file that the dialog would not open (missing, or not a regular
// file), or null when it reads after all.
std::exception_ptr readFailure(const std::string& path) {
  try {
    HmrFileContents contents;
    readHmrFile(path, contents);
  } catch (...) {
    return std::current_exception();
  }
  return nullptr;
}

}  // namespace

std::optional<ViewerOptions> parseViewerOptions(int argc, char** argv, int& status,
                                                std::ostream& out, std::ostream& err) {
  CLI::App app{
      "hmr-viewer: shows the history kept in an HMR data file in the tracker dialog, where "
      "further data files can be opened and closed, and the idle threshold and minimum work "
      "time of each changed; changed files are saved when the dialog closes.",
      "hmr-viewer"};
  ViewerOptions options;
  app.add_option("FILE", options.file, "The data file to open (for example Billing.HMR)");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    status = app.exit(e, out, err) == 0 ? 0 : 2;
    return std::nullopt;
  }
  return options;
}

std::string viewerFilePath(const std::string& given) {
  if (given.empty()) return given;
  std::error_code failed;
  const std::filesystem::path absolute = std::filesystem::absolute(given, failed);
  return failed ? given : absolute.lexically_normal().string();
}

int runViewer(const ViewerOptions& options, SettingsStore* store, std::ostream& err) {
  try {
    // The timer's errors are shown in a message box and the loop goes on.
    ScopedTimerGlobal timer(std::make_unique<QtPeriodicTimer>());
    QtTrackerUi ui;
    THMRProjectGroup group(&ui, store);
    group.SetHostTool(ftViewer, KernelVersion);
    group.ShowUserDialog(false);  // the logon name; a viewer asks nobody

    std::string toOpen = viewerFilePath(options.file);
    if (!toOpen.empty() && !pathExists(toOpen)) {
      // The dialog passes over a file that is not there without a word; the person who
      // named it is told why nothing shows, once the dialog is up.
      if (std::exception_ptr failure = readFailure(toOpen)) {
        toOpen.clear();
        QTimer::singleShot(0, qApp, [failure] {
          showErrorBox(QApplication::activeModalWidget(), failure);
        });
      }
    }
    group.ShowDialog(false, toOpen);
    // Leaving the scope closes the group; the dialog has saved what was changed in it.
  } catch (const std::exception& e) {
    err << "hmr-viewer: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace hmr
