// SPDX-License-Identifier: MIT
// hmr-viewer [FILE]: the tracker dialog on its own, showing the history of HMR data files.
// With HMR_VIEWER_CLOSE_WHEN_IDLE set (tests, scripts) every window closes as soon as it has
// shown, each reported on standard error.
#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "host/viewer/IdleCloser.h"
#include "host/viewer/Viewer.h"

int main(int argc, char** argv) {
  int status = 0;
  // Before the application: --help and usage errors need no display.
  const std::optional<hmr::ViewerOptions> options =
      hmr::parseViewerOptions(argc, argv, status, std::cout, std::cerr);
  if (!options) return status;

  QApplication app(argc, argv);
  QApplication::setApplicationName("hmr-viewer");
  std::unique_ptr<hmr::IdleCloser> closer;
  if (const char* close = std::getenv("HMR_VIEWER_CLOSE_WHEN_IDLE"); close && *close)
    closer = std::make_unique<hmr::IdleCloser>(std::cerr);
  return hmr::runViewer(*options, nullptr, std::cerr);
}
