// SPDX-License-Identifier: MIT
// What the tracker dialog's Qt Test suites share: a group of the Delphi 5 host on real data
// files, and the ways a person reaches the dialog's controls (by their names), picks an entry
// of a list, clicks a node or a tab, and reads the grid.
#pragma once

#include <QAbstractItemView>
#include <QComboBox>
#include <QHeaderView>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <string>

#include "core/uHMRProjectGroup.h"
#include "platform/MemorySettingsStore.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/QtTrackerUi.h"
#include "ui/tracker/HistoryPage.h"
#include "ui/tracker/SessionGridModel.h"
#include "ui/tracker/uHMRDialog.h"

namespace hmr::ui_test {

// A group of the Delphi 5 host on the world's data files, with the Qt windows.
struct Fixture {
  TrackerWorld world;
  MemorySettingsStore store;
  QtTrackerUi ui;
  THMRProjectGroup group{&ui, &store};

  Fixture() {
    group.SetHostTool(ftDelphi5, "2.0b");
    group.UserName = "ann";
  }
  // Demo.HMR: three sessions of ann and bob on two days; Other.HMR: one session.
  void addTwoProjects() {
    group.AddDataFile(world.writeDataFile(
        "Demo.HMR", {{0, 5400, 600, "ann"}, {2, 1800, 0, "bob"}, {25, 3600, 300, "ann"}}));
    group.AddDataFile(world.writeDataFile("Other.HMR", {{4, 7200, 0, "ann"}}));
  }
  // Demo, open in the IDE and active since four minutes, after a session left not closed;
  // returns its data file's path.
  std::string addRunningProject() {
    const std::string path =
        world.writeDataFile("Demo.HMR", {{-20, 5400, 0, "ann", /*notClosed=*/true}});
    group.AddProject(world.file("Demo.dpr"), "Demo", true);
    group.ActiveIndex = 0;
    world.advance(240);
    return path;
  }
};

template <class W>
W* child(QWidget& dialog, const char* name) {
  W* widget = dialog.findChild<W*>(name);
  if (!widget) qWarning("no control %s", name);
  return widget;
}

// The user picks entry `index` of a list.
inline void choose(QComboBox* combo, int index) {
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

inline QStringList items(const QComboBox* combo) {
  QStringList list;
  for (int i = 0; i < combo->count(); ++i) list << combo->itemText(i);
  return list;
}

inline QString cell(const TdlgPrjRevedazl& dialog, int row, int column) {
  const SessionGridModel& model = dialog.historyPage().gridModel();
  return model.data(model.index(row, column)).toString();
}

inline QString header(const TdlgPrjRevedazl& dialog, int column) {
  return dialog.historyPage().gridModel().headerData(column, Qt::Horizontal).toString();
}

inline void clickNode(QTreeWidget* tree, QTreeWidgetItem* node) {
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
}

// What Qt's header sizing finds column `c` needs: its header and its cells.
inline int neededWidth(QTableView* grid, int c) {
  const QAbstractItemView* view = grid;
  return std::max(grid->horizontalHeader()->sectionSizeHint(c), view->sizeHintForColumn(c));
}

// The user clicks the tab of the page named `name`.
inline void showPage(QTabWidget* pages, const char* name) {
  pages->setCurrentWidget(pages->findChild<QWidget*>(name));
}

inline QString tabTexts(QTabWidget* pages) {
  QStringList texts;
  for (int i = 0; i < pages->count(); ++i)
    if (pages->isTabVisible(i)) texts << pages->tabText(i);
  return texts.join('|');
}

}  // namespace hmr::ui_test
