// SPDX-License-Identifier: MIT
// hmr-viewer-pictures: pictures of the user dialog and of the viewer for the documentation,
// on the offscreen platform. The viewer runs as hmr-viewer runs it, on the given data file;
// each window is grabbed once it is up and then closed. Dates and times show as the
// en_US.UTF-8 locale writes them (12/07/2026 09:05 AM), whatever the machine's locale.
#include <QApplication>
#include <QFont>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>

#include "core/uHMRGlobal.h"
#include "host/viewer/Viewer.h"
#include "platform/Locale.h"
#include "platform/MemorySettingsStore.h"
#include "ui/DlgUser.h"
#include "ui/tracker/uHMRDialog.h"

namespace {

// Grabs the next modal window of type W into `path` once it is up, then closes it.
template <class W>
void grabWhenUp(const std::string& path, bool& ok) {
  auto* poll = new QTimer;
  poll->setInterval(50);
  QObject::connect(poll, &QTimer::timeout, [poll, path, &ok] {
    auto* window = qobject_cast<W*>(QApplication::activeModalWidget());
    if (!window) return;
    poll->stop();
    poll->deleteLater();
    QApplication::processEvents();
    if (window->grab().save(QString::fromStdString(path), "PNG")) {
      std::printf("%s\n", path.c_str());
    } else {
      std::fprintf(stderr, "hmr-viewer-pictures: cannot write %s\n", path.c_str());
      ok = false;
    }
    window->close();
  });
  poll->start();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: hmr-viewer-pictures OUT_FOLDER DATA_FILE\n");
    return 2;
  }
  QApplication::setFont(QFont("DejaVu Sans", 9));
  const std::string folder = argv[1];
  hmr::FixedLocale locale("%m/%d/%Y", "%r", ".");  // glibc's en_US.UTF-8 formats
  hmr::ScopedLocale useLocale(locale);
  bool ok = true;

  // The user dialog as a second developer sees it at the IDE's start.
  hmr::MemorySettingsStore store;
  const std::string key = "\\SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5";
  store.writeString(hmr::HMRRootKey, key, "Users", "ann\r\nBob\r\ncarol\r\n");
  std::string user = "Bob";
  grabWhenUp<hmr::TDlgSetUser>(folder + "/user-dialog.png", ok);
  hmr::runUserDialog(store, true, key, user);

  // The viewer on the data file, as a double click in the file manager opens it.
  grabWhenUp<hmr::TdlgPrjRevedazl>(folder + "/viewer.png", ok);
  if (hmr::runViewer(hmr::ViewerOptions{argv[2]}, &store, std::cerr) != 0) ok = false;
  return ok ? 0 : 1;
}
