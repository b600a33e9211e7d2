// SPDX-License-Identifier: MIT
// hmr-dialog-pictures: pictures of the tracker dialog for the documentation. Opens the given
// data files in the dialog's stand-alone mode on the offscreen platform and grabs the group
// level by day, the Chart page of the group level by week, the first project's sessions and
// their chart, its Project Info page, the Tools page and the About page as PNG files, at the
// dialog's default size. Dates and times show as in the en_US.UTF-8 locale (12/07/2026,
// 09:05 AM), whatever the machine's locale.
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QPixmap>
#include <QTabWidget>
#include <QTreeWidget>
#include <cstdio>
#include <string>
#include <vector>

#include "core/WindowlessTrackerUi.h"
#include "core/uHMRProjectGroup.h"
#include "core/uHMRTimer.h"
#include "platform/Locale.h"
#include "platform/MemorySettingsStore.h"
#include "platform/PeriodicTimer.h"
#include "ui/tracker/TreePane.h"
#include "ui/tracker/uHMRDialog.h"

namespace {

bool grab(QWidget& window, const std::string& folder, const char* name) {
  QApplication::processEvents();
  const std::string path = folder + "/" + name;
  if (!window.grab().save(QString::fromStdString(path), "PNG")) {
    std::fprintf(stderr, "hmr-dialog-pictures: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("%s\n", path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: hmr-dialog-pictures OUT_FOLDER DATA_FILE...\n");
    return 2;
  }
  QApplication::setFont(QFont("DejaVu Sans", 9));
  const std::string folder = argv[1];

  // The formats glibc's en_US.UTF-8 gives (D_FMT, T_FMT, RADIXCHAR).
  hmr::FixedLocale locale("%m/%d/%Y", "%r", ".");
  hmr::ScopedLocale useLocale(locale);
  hmr::ScopedTimerGlobal timer(std::make_unique<hmr::ManualTimer>());
  hmr::MemorySettingsStore store;
  hmr::WindowlessTrackerUi ui;
  hmr::THMRProjectGroup group(&ui, &store);
  group.SetHostTool(hmr::ftDelphi5, "2.0b");
  group.UserName = "ann";

  bool ok = true;
  {
    hmr::TdlgPrjRevedazl dialog(&group);
    dialog.SetStandAlone(true);
    dialog.show();
    try {
      for (int i = 2; i < argc; ++i) dialog.OpenProject(argv[i]);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "hmr-dialog-pictures: %s\n", e.what());
      return 1;
    }
    auto* tree = dialog.findChild<QTreeWidget*>("TreeView");
    auto* pages = dialog.findChild<QTabWidget*>("PageControl");
    // The group level, by day.
    tree->setCurrentItem(dialog.treePane().nodeAt(0));
    auto* groupBy = dialog.findChild<QComboBox*>("cmbGroupBy");
    groupBy->setCurrentIndex(3);
    emit groupBy->activated(3);
    ok &= grab(dialog, folder, "dialog-group.png");
    // The group level's chart, by week.
    const int week = groupBy->findText("Week");
    groupBy->setCurrentIndex(week);
    emit groupBy->activated(week);
    pages->setCurrentWidget(dialog.findChild<QWidget*>("TabChart"));
    ok &= grab(dialog, folder, "dialog-chart-week.png");
    // The first project's sessions, and their chart.
    tree->setCurrentItem(dialog.treePane().nodeAt(1));
    pages->setCurrentWidget(dialog.findChild<QWidget*>("TabChart"));
    ok &= grab(dialog, folder, "dialog-chart-project.png");
    pages->setCurrentWidget(dialog.findChild<QWidget*>("TabHistory"));
    ok &= grab(dialog, folder, "dialog-project.png");
    pages->setCurrentWidget(dialog.findChild<QWidget*>("TabProjectInfo"));
    ok &= grab(dialog, folder, "dialog-project-info.png");
    pages->setCurrentWidget(dialog.findChild<QWidget*>("TabTools"));
    ok &= grab(dialog, folder, "dialog-tools.png");
    pages->setCurrentWidget(dialog.findChild<QWidget*>("TabAbout"));
    ok &= grab(dialog, folder, "dialog-about.png");
    pages->setCurrentWidget(dialog.findChild<QWidget*>("TabHistory"));
  }
  return ok ? 0 : 1;
}
