// SPDX-License-Identifier: MIT
// The tracker dialog driven as a person drives it, on the offscreen platform: clicks, keys
// and answers to its message boxes and file dialogs, over a real project group with real
// data files.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>

#include "core/GridCells.h"
#include "core/TrackerDialogModel.h"
#include "core/WindowlessTrackerUi.h"
#include "core/uHMRExport.h"
#include "core/uHMRProjectGroup.h"
#include "core/uHMRUsers.h"
#include "platform/MemorySettingsStore.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/ui/tracker/DialogTestSupport.h"
#include "ui/DlgUser.h"
#include "ui/QtTrackerUi.h"
#include "ui/tracker/HistoryPage.h"
#include "ui/tracker/SessionGridModel.h"
#include "ui/tracker/TrackerPictures.h"
#include "ui/tracker/TreePane.h"
#include "ui/tracker/uHMRDialog.h"

using namespace hmr;
using hmr::ui_test::TrackerWorld;
using hmr::ui_test::answerFileDialog;
using hmr::ui_test::whenModal;

using namespace hmr::ui_test;


class TrackerDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void controlsCarryTheirNamesTextsAndSizes();
  void acceleratorsFocusTheirControls();
  void withoutActiveProjectTheGroupLevelShows();
  void treeHasTheGroupNodeAndOneChildPerProject();
  void emptyGroupGivesAnEmptyTreeAndOneEmptyRow();
  void activeProjectIsSelectedWithRoundedSpinBoxes();
  void selectingANodeShowsItsProjectInBold();
  void sortListsFirstEntryReadsAsTheGrouping();
  void groupAndProjectKeepTheirOwnFilters();
  void sortAndOrderKeepTheColumnWidths();
  void timeUnitSwitchKeepsRowScrollAndWidths();
  void userNameColumnComesAndGoes();
  void runningSessionShowsCurrentAndUnclosedShowsNotClosed();
  void raisingTheMinimumAnsweredNoChangesNothing();
  void raisingTheMinimumAnsweredYesDropsShortSessions();
  void loweringTheMinimumAsksNothing();
  void spinBoxesLeftAloneChangeNothing();
  void changeIsCommittedWhenThePageIsLeft();
  void changeIsCommittedOnCloseWhileProjectInfoIsActive();
  void restoreDefaultCountsAsAnEdit();
  void leftAndRightKeysPageTheGridSideways();
  void viewerHostDisablesTheUserControls();
  void showUserDialogBoxWritesThePreference();
  void escClosesAndRemembersTheView();
  void filterMemoryHoldsBetweenTwoShowings();
  void aLevelNeverShownOpensAtItsFirstEntries();
  void standAloneOpensAndClosesDataFiles();
  void openDialogShowsUpperCaseDataFiles();
  void fileToOpenIsOpenedOnceUnderItsOwnName();
  void corruptFileShowsTheReadMessageAndChangesNothing();
  void standAloneSavesModifiedFilesOnClose();
  void standAloneSaveFailureKeepsTheDialogOpen();
  void exportsTextAndSemicolonFilesOfTheGrid();
  void exportToClipboardCopiesTheGrid();
  void exportWithAnEmptyGroupDoesNothing();
  void exportWriteFailureShowsTheErrorAndKeepsTheGrid();
};

void TrackerDialogTest::controlsCarryTheirNamesTextsAndSizes() {
  Fixture f;
  TdlgPrjRevedazl dialog(&f.group);
  QCOMPARE(dialog.windowTitle(), QString("HMR - Project Revedazl"));
  // At least as large as it has always been; wider where the grid needs it.
  QCOMPARE(dialog.height(), 422);
  QVERIFY(dialog.width() >= 652);
  QCOMPARE(dialog.minimumSize(), QSize(140, 220));
  QVERIFY(!dialog.windowIcon().isNull());
  dialog.show();
  QCOMPARE(child<QWidget>(dialog, "pnlTree")->width(), 120);
  QCOMPARE(child<QLabel>(dialog, "lblCapTree")->text(), QString("  &Project Group"));
  QCOMPARE(child<QToolButton>(dialog, "btnOpen")->text(), QString("&Open"));
  QCOMPARE(child<QToolButton>(dialog, "btnClose")->text(), QString("&Close"));
  QVERIFY(!child<QToolButton>(dialog, "btnOpen")->icon().isNull());
  auto* tree = child<QTreeWidget>(dialog, "TreeView");
  QCOMPARE(tree->indentation(), 20);
  QCOMPARE(tree->iconSize(), QSize(16, 18));
  QCOMPARE(child<QComboBox>(dialog, "cmbGroupBy")->parentWidget()->property("title").toString(),
           QString("&Group By:"));
  QVERIFY(child<QComboBox>(dialog, "cmbGroupBy")->isEditable());
  QCOMPARE(child<QComboBox>(dialog, "cmpSortItem")->parentWidget()->property("title").toString(),
           QString("&Sort By:"));
  QCOMPARE(items(child<QComboBox>(dialog, "cmpSortOrder")), QStringList({"Asc", "Desc"}));
  QCOMPARE(child<QGroupBox>(dialog, "grpTimeUnit")->title(), QString("&Time Unit:"));
  QVERIFY(child<QRadioButton>(dialog, "grpTimeUnitHours")->isChecked());
  QCOMPARE(child<QRadioButton>(dialog, "grpTimeUnitMinutes")->text(), QString("min"));
  QCOMPARE(child<QCheckBox>(dialog, "chkShowUsername")->text(), QString("S&how User Name"));
  QVERIFY(child<QCheckBox>(dialog, "chkShowUsername")->isChecked());
  auto* pages = child<QTabWidget>(dialog, "PageControl");
  QCOMPARE(pages->count(), 5);
  QStringList all;
  for (int i = 0; i < pages->count(); ++i) all << pages->tabText(i);
  QCOMPARE(all, QStringList({"History", "Chart", "Project Info", "Tools", "About"}));
  auto* grid = child<QTableView>(dialog, "grdSessions");
  QCOMPARE(grid->horizontalHeader()->defaultSectionSize(), 94);
  QCOMPARE(grid->verticalHeader()->defaultSectionSize(), 18);
  QVERIFY(!grid->verticalHeader()->isVisible());
  QCOMPARE(grid->selectionBehavior(), QAbstractItemView::SelectRows);
  QCOMPARE(child<QSpinBox>(dialog, "sedtIdle")->maximum(), 60);
  QCOMPARE(child<QSpinBox>(dialog, "sedtMinimum")->minimum(), 1);
  QCOMPARE(child<QPushButton>(dialog, "cmdRestDefault")->text(), QString("&Restore Default"));
  QVERIFY(child<QLineEdit>(dialog, "edtCurrentUser")->isReadOnly());
  QCOMPARE(child<QPushButton>(dialog, "btnChangeUser")->text(), QString("Change User"));
  QCOMPARE(child<QCheckBox>(dialog, "chkShowUserDlg")->text(),
           QString("Show user dialog on startup:"));
  QCOMPARE(items(child<QComboBox>(dialog, "cbxExportFormat")),
           QStringList({"Text File", "Formated Text File (comma separated)", "Clipboard",
                        "Chart (PNG picture)", "Chart (SVG picture)"}));
  QCOMPARE(child<QPushButton>(dialog, "cmdExport")->text(), QString("Export..."));
  QCOMPARE(child<QLabel>(dialog, "Label4")->text(), QString("Project Revedazl"));
  QCOMPARE(child<QLabel>(dialog, "Image1")->size(), QSize(64, 64));
  QCOMPARE(child<QLabel>(dialog, "lblForTool")->text(), QString("For Delphi 5"));
  QCOMPARE(child<QLabel>(dialog, "lblVersion")->text(),
           QString("Host Version 2.0b - Kernel Version 2.0"));
  QVERIFY(!child<QLabel>(dialog, "lblBugs")->text().isEmpty());
  auto* close = child<QPushButton>(dialog, "btnOk");
  QCOMPARE(close->text(), QString("C&lose"));
  // Centred in the bottom bar.
  const QWidget* bar = child<QWidget>(dialog, "pnlBotton");
  QCOMPARE(close->x(), (bar->width() - close->width()) / 2);
}

void TrackerDialogTest::acceleratorsFocusTheirControls() {
  Fixture f;
  f.addTwoProjects();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  dialog.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&dialog));
  QTest::keyClick(&dialog, Qt::Key_G, Qt::AltModifier);
  QTRY_COMPARE(QApplication::focusWidget(), child<QComboBox>(dialog, "cmbGroupBy"));
  QTest::keyClick(&dialog, Qt::Key_P, Qt::AltModifier);
  QTRY_COMPARE(QApplication::focusWidget(), child<QTreeWidget>(dialog, "TreeView"));
  QTest::keyClick(&dialog, Qt::Key_S, Qt::AltModifier);
  QTRY_COMPARE(QApplication::focusWidget(), child<QComboBox>(dialog, "cmpSortItem"));
  // Alt+H toggles the user-name column.
  QTest::keyClick(&dialog, Qt::Key_H, Qt::AltModifier);
  QTRY_VERIFY(!child<QCheckBox>(dialog, "chkShowUsername")->isChecked());
}

void TrackerDialogTest::withoutActiveProjectTheGroupLevelShows() {
  Fixture f;
  f.addTwoProjects();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  auto* tree = child<QTreeWidget>(dialog, "TreeView");
  QVERIFY(tree->currentItem() == nullptr);
  QVERIFY(dialog.model().selectedProject() == nullptr);
  QCOMPARE(tabTexts(child<QTabWidget>(dialog, "PageControl")),
           QString("History|Chart|Tools|About"));
  QCOMPARE(child<QLabel>(dialog, "lblCapProj")->text(),
           QString("  Project &Information: Project Group"));
  QCOMPARE(items(child<QComboBox>(dialog, "cmbGroupBy")),
           QStringList({"Project", "Session", "Username", "Day", "Week", "Month"}));
  // One line per project, then the totals.
  QCOMPARE(dialog.historyPage().gridModel().rowCount(), 3);
  QCOMPARE(header(dialog, 0), QString("Project"));
  QCOMPARE(cell(dialog, 0, 0), QString("Demo"));
  QCOMPARE(cell(dialog, 1, 0), QString("Other"));
  QCOMPARE(cell(dialog, 2, 0), QString("TOTAL"));
  QCOMPARE(cell(dialog, 2, 1), QString("  5.000"));
}

void TrackerDialogTest::treeHasTheGroupNodeAndOneChildPerProject() {
  Fixture f;
  f.addTwoProjects();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  auto* tree = child<QTreeWidget>(dialog, "TreeView");
  QCOMPARE(tree->topLevelItemCount(), 1);
  QCOMPARE(dialog.treePane().nodeAt(0)->text(0), QString("Group"));
  QCOMPARE(dialog.treePane().nodeAt(1)->text(0), QString("Demo"));
  QCOMPARE(dialog.treePane().nodeAt(2)->text(0), QString("Other"));
  QVERIFY(dialog.treePane().nodeAt(3) == nullptr);
  QVERIFY(dialog.treePane().nodeAt(0)->isExpanded());
  QCOMPARE(dialog.treePane().nodeAt(1)->icon(0).pixmap(16, 18).toImage(),
           treePicture(3).pixmap(16, 18).toImage());
  QCOMPARE(statePictureIndex(hmOpen), 1);
  QCOMPARE(statePictureIndex(hmIdle), 2);
  QCOMPARE(statePictureIndex(hmClosed), 3);
}

void TrackerDialogTest::emptyGroupGivesAnEmptyTreeAndOneEmptyRow() {
  Fixture f;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  QCOMPARE(child<QTreeWidget>(dialog, "TreeView")->topLevelItemCount(), 0);
  QCOMPARE(dialog.historyPage().gridModel().rowCount(), 1);
  for (int c = 0; c < dialog.historyPage().gridModel().columnCount(); ++c)
    QCOMPARE(cell(dialog, 0, c), QString());
  QCOMPARE(header(dialog, 1), QString("Total Time (hs)"));
}

void TrackerDialogTest::activeProjectIsSelectedWithRoundedSpinBoxes() {
  Fixture f;
  // 150 s and 90 s: halves go to the even neighbour, 2 minutes each.
  f.group.AddDataFile(f.world.writeDataFile("Demo.HMR", {{0, 5400}}, 150, 90));
  f.group.ActiveIndex = 0;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  QCOMPARE(dialog.model().selectedProject(), f.group.getProject(0));
  QCOMPARE(child<QTreeWidget>(dialog, "TreeView")->currentItem(), dialog.treePane().nodeAt(1));
  QCOMPARE(dialog.treePane().boldNode(), dialog.treePane().nodeAt(1));
  QCOMPARE(child<QSpinBox>(dialog, "sedtIdle")->value(), 2);
  QCOMPARE(child<QSpinBox>(dialog, "sedtMinimum")->value(), 2);
  QCOMPARE(child<QLabel>(dialog, "lblCapProj")->text(),
           QString::fromStdString("  Project &Information: " + f.world.file("Demo.HMR") +
                                  "(CLOSED)"));
  QCOMPARE(tabTexts(child<QTabWidget>(dialog, "PageControl")),
           QString("History|Chart|Project Info|Tools|About"));
  QCOMPARE(items(child<QComboBox>(dialog, "cmbGroupBy")),
           QStringList({"Session", "Username", "Day", "Week", "Month"}));
  // One session: the line and the totals with the same figures.
  QCOMPARE(dialog.historyPage().gridModel().rowCount(), 2);
  QCOMPARE(cell(dialog, 0, 3), QString("  1.500"));
  QCOMPARE(cell(dialog, 1, 2), QString("TOTAL"));
  QCOMPARE(cell(dialog, 1, 3), QString("  1.500"));
  QCOMPARE(cell(dialog, 0, 0), QString("2026-03-02 09:00"));
  QCOMPARE(cell(dialog, 0, 1), QString("2026-03-02 10:30"));
}

void TrackerDialogTest::selectingANodeShowsItsProjectInBold() {
  Fixture f;
  f.addTwoProjects();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  auto* tree = child<QTreeWidget>(dialog, "TreeView");
  clickNode(tree, dialog.treePane().nodeAt(1));
  QCOMPARE(dialog.model().selectedProject(), f.group.getProject(0));
  QCOMPARE(dialog.treePane().boldNode(), dialog.treePane().nodeAt(1));
  QCOMPARE(dialog.historyPage().gridModel().rowCount(), 4);  // three sessions and the totals
  QCOMPARE(dialog.historyPage().gridModel().columnCount(), 6);
  QCOMPARE(header(dialog, 2), QString("User Name"));
  QCOMPARE(cell(dialog, 1, 2), QString("bob "));
  clickNode(tree, dialog.treePane().nodeAt(0));
  QVERIFY(dialog.model().selectedProject() == nullptr);
  QCOMPARE(dialog.treePane().boldNode(), dialog.treePane().nodeAt(0));
  QCOMPARE(dialog.historyPage().gridModel().rowCount(), 3);
}

void TrackerDialogTest::sortListsFirstEntryReadsAsTheGrouping() {
  Fixture f;
  f.addTwoProjects();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  auto* sort = child<QComboBox>(dialog, "cmpSortItem");
  QCOMPARE(items(sort), QStringList({"Project", "Total Time", "Idle Time", "Work Time"}));
  choose(sort, 1);
  choose(child<QComboBox>(dialog, "cmbGroupBy"), 3);
  QCOMPARE(items(sort), QStringList({"Day", "Total Time", "Idle Time", "Work Time"}));
  QCOMPARE(sort->currentIndex(), 1);  // the sort key stays chosen
  QCOMPARE(header(dialog, 0), QString("Day"));
  QCOMPARE(dialog.historyPage().gridModel().rowCount(), 3);  // two days and the totals
}

void TrackerDialogTest::groupAndProjectKeepTheirOwnFilters() {
  Fixture f;
  f.addTwoProjects();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  auto* tree = child<QTreeWidget>(dialog, "TreeView");
  auto* groupBy = child<QComboBox>(dialog, "cmbGroupBy");
  auto* order = child<QComboBox>(dialog, "cmpSortOrder");
  clickNode(tree, dialog.treePane().nodeAt(0));
  choose(groupBy, 4);  // Week
  choose(order, 1);
  clickNode(tree, dialog.treePane().nodeAt(1));
  QCOMPARE(groupBy->currentIndex(), 0);  // the project level starts at its own choices
  QCOMPARE(order->currentIndex(), 0);
  choose(groupBy, 2);  // Day
  QCOMPARE(groupBy->currentText(), QString("Day"));
  clickNode(tree, dialog.treePane().nodeAt(0));
  QCOMPARE(groupBy->currentText(), QString("Week"));
  QCOMPARE(order->currentIndex(), 1);
  // Another project shares the project level's choices.
  clickNode(tree, dialog.treePane().nodeAt(2));
  QCOMPARE(groupBy->currentText(), QString("Day"));
  QCOMPARE(dialog.model().projectFilter().GroupBy, 2);
  QCOMPARE(dialog.model().groupFilter().GroupBy, 4);
}

void TrackerDialogTest::sortAndOrderKeepTheColumnWidths() {
  Fixture f;
  f.addTwoProjects();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  auto* grid = child<QTableView>(dialog, "grdSessions");
  // Each column as wide as its header and cells need.
  const int fittedProject = grid->columnWidth(0);
  QVERIFY(fittedProject >= neededWidth(grid, 0));
  grid->horizontalHeader()->resizeSection(0, fittedProject + 60);
  choose(child<QComboBox>(dialog, "cmpSortOrder"), 1);
  QCOMPARE(cell(dialog, 0, 0), QString("Other"));
  QCOMPARE(grid->columnWidth(0), fittedProject + 60);
  choose(child<QComboBox>(dialog, "cmpSortItem"), 3);
  QCOMPARE(grid->columnWidth(0), fittedProject + 60);
  // A change of grouping rebuilds the layout: the widths fit the new contents again.
  choose(child<QComboBox>(dialog, "cmbGroupBy"), 1);
  QVERIFY(grid->columnWidth(0) != fittedProject + 60);
  for (int c = 0; c < grid->model()->columnCount(); ++c)
    QVERIFY(grid->columnWidth(c) >= neededWidth(grid, c));
}

void TrackerDialogTest::timeUnitSwitchKeepsRowScrollAndWidths() {
  Fixture f;
  std::vector<TrackerWorld::Session> many;
  for (int i = 0; i < 80; ++i) many.push_back({i * 3.0, 5400});
  f.group.AddDataFile(f.world.writeDataFile("Many.HMR", many));
  f.group.ActiveIndex = 0;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  auto* grid = child<QTableView>(dialog, "grdSessions");
  grid->horizontalHeader()->resizeSection(0, 170);
  grid->setCurrentIndex(dialog.historyPage().gridModel().index(60, 0));
  grid->verticalScrollBar()->setValue(50);
  QTest::mouseClick(child<QRadioButton>(dialog, "grpTimeUnitMinutes"), Qt::LeftButton);
  QCOMPARE(dialog.model().timeUnit(), dtuMinute);
  QCOMPARE(header(dialog, 3), QString("Total Time (min)"));
  QCOMPARE(cell(dialog, 0, 3), QString("   90.0"));
  QCOMPARE(grid->currentIndex().row(), 60);
  QCOMPARE(grid->verticalScrollBar()->value(), 50);
  QCOMPARE(grid->columnWidth(0), 170);
}

void TrackerDialogTest::userNameColumnComesAndGoes() {
  Fixture f;
  f.addTwoProjects();
  f.group.ActiveIndex = 0;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  auto* box = child<QCheckBox>(dialog, "chkShowUsername");
  QCOMPARE(dialog.historyPage().gridModel().columnCount(), 6);
  QTest::mouseClick(box, Qt::LeftButton);
  QVERIFY(!dialog.model().showUserName());
  QCOMPARE(dialog.historyPage().gridModel().columnCount(), 5);
  QCOMPARE(header(dialog, 2), QString("Total Time (hs)"));
  QCOMPARE(cell(dialog, 3, 1), QString("TOTAL"));
  QTest::mouseClick(box, Qt::LeftButton);
  QCOMPARE(dialog.historyPage().gridModel().columnCount(), 6);
  QCOMPARE(cell(dialog, 3, 0), QString(" "));
  QCOMPARE(cell(dialog, 3, 2), QString("TOTAL"));
  // A grouped result never has the user column.
  choose(child<QComboBox>(dialog, "cmbGroupBy"), 2);
  QCOMPARE(dialog.historyPage().gridModel().columnCount(), 4);
}

void TrackerDialogTest::runningSessionShowsCurrentAndUnclosedShowsNotClosed() {
  Fixture f;
  const std::string path = f.addRunningProject();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  QCOMPARE(child<QLabel>(dialog, "lblCapProj")->text(),
           QString::fromStdString("  Project &Information: " + path + "(OPEN)"));
  QCOMPARE(dialog.historyPage().gridModel().rowCount(), 3);
  QCOMPARE(cell(dialog, 0, 1), QString("Not Closed"));
  QCOMPARE(cell(dialog, 1, 1), QString("Current"));
  // The tree brought the running session up to the present: four minutes so far.
  QCOMPARE(cell(dialog, 1, 3), QString("  0.067"));
  QCOMPARE(dialog.treePane().nodeAt(1)->icon(0).pixmap(16, 18).toImage(),
           treePicture(1).pixmap(16, 18).toImage());
}

namespace {

// A project at the Project Info page with a minimum work time of one minute and sessions of
// 90 s (ann) and 3600 s.
struct ProjectInfoFixture : Fixture {
  TdlgPrjRevedazl dialog{&group};
  QSpinBox* minimum = nullptr;
  QSpinBox* idle = nullptr;
  QTabWidget* pages = nullptr;

  ProjectInfoFixture() {
    group.AddDataFile(world.writeDataFile("Demo.HMR", {{0, 90}, {2, 3600}}));
    group.ActiveIndex = 0;
    dialog.show();
    minimum = child<QSpinBox>(dialog, "sedtMinimum");
    idle = child<QSpinBox>(dialog, "sedtIdle");
    pages = child<QTabWidget>(dialog, "PageControl");
    showPage(pages, "TabProjectInfo");
  }
  THMRProject& project() { return *group.getProject(0); }
};

}  // namespace

void TrackerDialogTest::raisingTheMinimumAnsweredNoChangesNothing() {
  ProjectInfoFixture f;
  f.minimum->setValue(2);
  QString text;
  whenModal<QMessageBox>([&](QMessageBox* box) {
    text = box->text();
    box->button(QMessageBox::No)->click();
  });
  showPage(f.pages, "TabHistory");
  QCOMPARE(text, QString("Your change in \"Exclude lines with work time less than:\" field may "
                         "cause loose of past information.\r\nDo you want confirm?"));
  QCOMPARE(f.minimum->value(), 1);
  QCOMPARE(f.project().MinimumWorkTime, std::int64_t{60});
  QCOMPARE(f.project().getSessionCount(), 2);
  QVERIFY(!f.project().Modified);
}

void TrackerDialogTest::raisingTheMinimumAnsweredYesDropsShortSessions() {
  ProjectInfoFixture f;
  f.minimum->setValue(2);
  whenModal<QMessageBox>(
      [](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
  showPage(f.pages, "TabTools");
  QCOMPARE(f.project().MinimumWorkTime, std::int64_t{120});
  QCOMPARE(f.project().getSessionCount(), 1);
  QVERIFY(f.project().Modified);
}

void TrackerDialogTest::loweringTheMinimumAsksNothing() {
  Fixture f;
  f.group.AddDataFile(f.world.writeDataFile("Demo.HMR", {{0, 600}}, 300, 300));
  f.group.ActiveIndex = 0;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  auto* pages = child<QTabWidget>(dialog, "PageControl");
  showPage(pages, "TabProjectInfo");
  child<QSpinBox>(dialog, "sedtMinimum")->setValue(3);
  showPage(pages, "TabHistory");  // a box would block here: the test would time out
  QCOMPARE(f.group.getProject(0)->MinimumWorkTime, std::int64_t{180});
  QVERIFY(f.group.getProject(0)->Modified);
}

void TrackerDialogTest::spinBoxesLeftAloneChangeNothing() {
  Fixture f;
  // 45 s of minimum shows as 1 minute; untouched, it must stay 45 s, and nothing is asked.
  f.group.AddDataFile(f.world.writeDataFile("Demo.HMR", {{0, 600}}, 90, 45));
  f.group.ActiveIndex = 0;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  auto* pages = child<QTabWidget>(dialog, "PageControl");
  showPage(pages, "TabProjectInfo");
  child<QPushButton>(dialog, "btnOk")->click();
  QVERIFY(!dialog.isVisible());
  QCOMPARE(f.group.getProject(0)->MinimumWorkTime, std::int64_t{45});
  QCOMPARE(f.group.getProject(0)->TimeForIdle, std::int64_t{90});
  QVERIFY(!f.group.getProject(0)->Modified);
}

void TrackerDialogTest::changeIsCommittedWhenThePageIsLeft() {
  ProjectInfoFixture f;
  f.idle->setValue(12);
  QCOMPARE(f.project().TimeForIdle, std::int64_t{300});  // nothing yet
  showPage(f.pages, "TabAbout");
  QCOMPARE(f.project().TimeForIdle, std::int64_t{720});
  QVERIFY(f.project().Modified);
}

void TrackerDialogTest::changeIsCommittedOnCloseWhileProjectInfoIsActive() {
  ProjectInfoFixture f;
  f.idle->setValue(7);
  QTest::keyClick(&f.dialog, Qt::Key_Escape);
  QVERIFY(!f.dialog.isVisible());
  QCOMPARE(f.project().TimeForIdle, std::int64_t{420});
}

void TrackerDialogTest::restoreDefaultCountsAsAnEdit() {
  Fixture f;
  f.group.AddDataFile(f.world.writeDataFile("Demo.HMR", {{0, 600}}, 1200, 180));
  f.group.ActiveIndex = 0;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  showPage(child<QTabWidget>(dialog, "PageControl"), "TabProjectInfo");
  QTest::mouseClick(child<QPushButton>(dialog, "cmdRestDefault"), Qt::LeftButton);
  QCOMPARE(child<QSpinBox>(dialog, "sedtIdle")->value(), 5);
  QCOMPARE(child<QSpinBox>(dialog, "sedtMinimum")->value(), 1);
  showPage(child<QTabWidget>(dialog, "PageControl"), "TabHistory");
  QCOMPARE(f.group.getProject(0)->TimeForIdle, std::int64_t{300});
  QCOMPARE(f.group.getProject(0)->MinimumWorkTime, std::int64_t{60});
}

void TrackerDialogTest::leftAndRightKeysPageTheGridSideways() {
  Fixture f;
  f.addTwoProjects();
  f.group.ActiveIndex = 0;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.resize(300, 300);
  dialog.show();
  auto* grid = child<QTableView>(dialog, "grdSessions");
  grid->setCurrentIndex(dialog.historyPage().gridModel().index(1, 0));
  QScrollBar* bar = grid->horizontalScrollBar();
  QVERIFY(bar->maximum() > 0);
  QCOMPARE(bar->value(), 0);
  QTest::keyClick(grid, Qt::Key_Right);
  QVERIFY(bar->value() > 0);
  QCOMPARE(bar->value(), std::min(bar->pageStep(), bar->maximum()));
  QCOMPARE(grid->currentIndex().row(), 1);
  QCOMPARE(grid->currentIndex().column(), 0);
  QTest::keyClick(grid, Qt::Key_Left);
  QCOMPARE(bar->value(), 0);
  QCOMPARE(grid->currentIndex().row(), 1);
  QTest::keyClick(grid, Qt::Key_Down);  // other keys still move the selection
  QCOMPARE(grid->currentIndex().row(), 2);
}

void TrackerDialogTest::viewerHostDisablesTheUserControls() {
  for (const THostTool host : {ftViewer, ftUnknown}) {
    Fixture f;
    f.group.SetHostTool(host, "2.0");
    TdlgPrjRevedazl dialog(&f.group);
    dialog.show();
    QVERIFY(!child<QPushButton>(dialog, "btnChangeUser")->isEnabled());
    QVERIFY(!child<QCheckBox>(dialog, "chkShowUserDlg")->isEnabled());
    QCOMPARE(child<QLineEdit>(dialog, "edtCurrentUser")->text(), QString("ann"));
  }
}

void TrackerDialogTest::showUserDialogBoxWritesThePreference() {
  Fixture f;
  SetShowDialogKey(f.store, f.group.RegistryKey, false);
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  auto* box = child<QCheckBox>(dialog, "chkShowUserDlg");
  QVERIFY(child<QPushButton>(dialog, "btnChangeUser")->isEnabled());
  QVERIFY(!box->isChecked());
  showPage(child<QTabWidget>(dialog, "PageControl"), "TabTools");
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 8, box->height() / 2));
  QVERIFY(box->isChecked());
  QVERIFY(GetShowDialogKey(f.store, f.group.RegistryKey));
  // Change User: the user dialog shows the current name; OK keeps it.
  QString offered;
  whenModal<TDlgSetUser>([&](TDlgSetUser* users) {
    offered = child<QComboBox>(*users, "cbxUsers")->currentText();
    QTest::mouseClick(child<QPushButton>(*users, "OKBtn"), Qt::LeftButton);
  });
  QTest::mouseClick(child<QPushButton>(dialog, "btnChangeUser"), Qt::LeftButton);
  QCOMPARE(offered, QString("ann"));
  QCOMPARE(child<QLineEdit>(dialog, "edtCurrentUser")->text(), QString("ann"));
}

void TrackerDialogTest::escClosesAndRemembersTheView() {
  Fixture f;
  f.addTwoProjects();
  TViewState memory;
  TdlgPrjRevedazl dialog(&f.group, &memory);
  dialog.show();
  const int shownWidth = dialog.width();
  choose(child<QComboBox>(dialog, "cmbGroupBy"), 3);
  QTest::keyClick(&dialog, Qt::Key_Escape);
  QVERIFY(!dialog.isVisible());
  QVERIFY(memory.Saved);
  QCOMPARE(memory.GroupGroupBy, 3);
  QCOMPARE(memory.Width, shownWidth);
  QCOMPARE(memory.TreeWidth, 120);
}

void TrackerDialogTest::filterMemoryHoldsBetweenTwoShowings() {
  Fixture f;
  f.addTwoProjects();
  // First showing: group level, Week, Work Time, Desc, minutes, a wider tree; then closed.
  whenModal<TdlgPrjRevedazl>([](TdlgPrjRevedazl* dialog) {
    choose(child<QComboBox>(*dialog, "cmbGroupBy"), 4);
    choose(child<QComboBox>(*dialog, "cmpSortItem"), 3);
    choose(child<QComboBox>(*dialog, "cmpSortOrder"), 1);
    QTest::mouseClick(child<QRadioButton>(*dialog, "grpTimeUnitMinutes"), Qt::LeftButton);
    dialog->resize(700, 450);
    dialog->move(40, 30);
    child<QSplitter>(*dialog, "Splitter1")->setSizes({180, 500});
    QTest::mouseClick(child<QPushButton>(*dialog, "btnOk"), Qt::LeftButton);
  });
  f.group.ShowDialog(true, "");
  QVERIFY(!f.group.Dialog);
  // Second showing, no active project: the same choices, bounds and tree width.
  QString groupBy, sortBy, order;
  QSize size;
  QPoint position;
  int treeWidth = 0;
  TDispTimeUnit unit = dtuHour;
  QString totalHeader;
  whenModal<TdlgPrjRevedazl>([&](TdlgPrjRevedazl* dialog) {
    groupBy = child<QComboBox>(*dialog, "cmbGroupBy")->currentText();
    sortBy = child<QComboBox>(*dialog, "cmpSortItem")->currentText();
    order = child<QComboBox>(*dialog, "cmpSortOrder")->currentText();
    size = dialog->size();
    position = dialog->pos();
    treeWidth = child<QWidget>(*dialog, "pnlTree")->width();
    unit = dialog->model().timeUnit();
    totalHeader = header(*dialog, 1);
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  f.group.ShowDialog(true, "");
  QCOMPARE(groupBy, QString("Week"));
  QCOMPARE(sortBy, QString("Work Time"));
  QCOMPARE(order, QString("Desc"));
  QCOMPARE(unit, dtuMinute);
  QCOMPARE(totalHeader, QString("Total Time (min)"));
  QCOMPARE(size, QSize(700, 450));
  QCOMPARE(position, QPoint(40, 30));
  QCOMPARE(treeWidth, 180);
}

// The first showing opens on the active project and never shows the group level; the second,
// with no active project, shows the group level at its first entries, not with empty lists.
void TrackerDialogTest::aLevelNeverShownOpensAtItsFirstEntries() {
  Fixture f;
  f.addTwoProjects();
  f.group.ActiveIndex = 0;
  whenModal<TdlgPrjRevedazl>([](TdlgPrjRevedazl* dialog) {
    choose(child<QComboBox>(*dialog, "cmbGroupBy"), 2);
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  f.group.ShowDialog(true, "");
  f.group.ActiveIndex = -1;
  QString groupBy, sortBy, order;
  whenModal<TdlgPrjRevedazl>([&](TdlgPrjRevedazl* dialog) {
    groupBy = child<QComboBox>(*dialog, "cmbGroupBy")->currentText();
    sortBy = child<QComboBox>(*dialog, "cmpSortItem")->currentText();
    order = child<QComboBox>(*dialog, "cmpSortOrder")->currentText();
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  f.group.ShowDialog(true, "");
  QCOMPARE(groupBy, QString("Project"));
  QCOMPARE(sortBy, QString("Project"));
  QCOMPARE(order, QString("Asc"));
}

void TrackerDialogTest::standAloneOpensAndClosesDataFiles() {
  Fixture f;
  const std::string demo = f.world.writeDataFile("Demo.HMR", {{0, 5400}});
  bool stripShown = false;
  int afterOpen = 0, afterSecondOpen = 0, afterClose = 0, nodesAfterClose = -1;
  bool openSelected = false, openBold = false;
  whenModal<TdlgPrjRevedazl>([&](TdlgPrjRevedazl* dialog) {
    stripShown = child<QWidget>(*dialog, "ScrollBoxOpenClose")->isVisible();
    whenModal<QFileDialog>([&](QFileDialog* open) {
      answerFileDialog(open, demo);
    });
    child<QToolButton>(*dialog, "btnOpen")->click();
    afterOpen = f.group.getProjectCount();
    openSelected = afterOpen == 1 && dialog->model().selectedProject() == f.group.getProject(0);
    openBold = dialog->treePane().boldNode() == dialog->treePane().nodeAt(1);
    // Opening the same file again changes nothing.
    dialog->OpenProject(demo);
    afterSecondOpen = f.group.getProjectCount();
    QTest::mouseClick(child<QToolButton>(*dialog, "btnClose"), Qt::LeftButton);
    afterClose = f.group.getProjectCount();
    nodesAfterClose = child<QTreeWidget>(*dialog, "TreeView")->topLevelItemCount();
    // Close again with nothing selected: nothing happens.
    QTest::mouseClick(child<QToolButton>(*dialog, "btnClose"), Qt::LeftButton);
    dialog->OpenProject(demo);  // left open: the group closes it after the showing
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  f.group.ShowDialog(true, "");
  QVERIFY(stripShown);
  QCOMPARE(afterOpen, 1);
  QVERIFY(openSelected);
  QVERIFY(openBold);
  QCOMPARE(afterSecondOpen, 1);
  QCOMPARE(afterClose, 0);
  QCOMPARE(nodesAfterClose, 0);
  QCOMPARE(f.group.getProjectCount(), 0);
}

void TrackerDialogTest::openDialogShowsUpperCaseDataFiles() {
  Fixture f;
  f.world.writeDataFile("Demo.HMR", {{0, 5400}});
  f.world.writeDataFile("notes.txt", {});
  TdlgPrjRevedazl dialog(&f.group);
  dialog.SetStandAlone(true);
  dialog.show();
  QStringList shown;
  QString filter;
  whenModal<QFileDialog>([&](QFileDialog* open) {
    filter = open->selectedNameFilter();
    open->setDirectory(QString::fromStdString(
        std::filesystem::path(f.world.file("Demo.HMR")).parent_path().string()));
    auto* list = open->findChild<QListView*>("listView");
    QTRY_VERIFY(list && list->model()->rowCount(list->rootIndex()) > 0);
    for (int r = 0; r < list->model()->rowCount(list->rootIndex()); ++r)
      shown << list->model()->index(r, 0, list->rootIndex()).data().toString();
    open->reject();
  });
  child<QToolButton>(dialog, "btnOpen")->click();  // opens a modal window
  QCOMPARE(filter, QString("Project Revedazler (*.hmr)"));
  QCOMPARE(shown, QStringList({"Demo.HMR"}));
  QCOMPARE(f.group.getProjectCount(), 0);  // cancelled: nothing else happens
}

void TrackerDialogTest::fileToOpenIsOpenedOnceUnderItsOwnName() {
  Fixture f;
  const std::string lower = f.world.writeDataFile("lower.hmr", {{0, 5400}, {3, 600}});
  TdlgPrjRevedazl dialog(&f.group);
  dialog.SetStandAlone(true);
  dialog.FFileToOpen = lower;
  dialog.show();
  QCOMPARE(f.group.getProjectCount(), 1);
  QCOMPARE(f.group.getProject(0)->FileName, lower);
  QCOMPARE(f.group.getProject(0)->getSessionCount(), 2);
  QCOMPARE(f.group.getProject(0)->State, hmClosed);
  QVERIFY(dialog.FFileToOpen.empty());
  // A file that does not exist is ignored without a word.
  Fixture g;
  TdlgPrjRevedazl other(&g.group);
  other.FFileToOpen = g.world.file("missing.HMR");
  other.show();
  QCOMPARE(g.group.getProjectCount(), 0);
}

void TrackerDialogTest::corruptFileShowsTheReadMessageAndChangesNothing() {
  Fixture f;
  const std::string good = f.world.writeDataFile("Good.HMR", {{0, 5400}});
  const std::string bad = f.world.file("Bad.HMR");
  hmr::testing::writeBytes(bad, "not a data file at all");
  TdlgPrjRevedazl dialog(&f.group);
  dialog.SetStandAlone(true);
  dialog.show();
  dialog.OpenProject(good);
  QString text;
  whenModal<QMessageBox>([&](QMessageBox* box) {
    text = box->text();
    box->accept();
  });
  whenModal<QFileDialog>([&](QFileDialog* open) {
    answerFileDialog(open, bad);
  });
  child<QToolButton>(dialog, "btnOpen")->click();  // opens a modal window
  QVERIFY2(text.contains("Bad.HMR"), qPrintable(text));
  QCOMPARE(f.group.getProjectCount(), 1);
  QCOMPARE(dialog.treePane().nodeAt(1)->text(0), QString("Good"));
  QVERIFY(dialog.treePane().nodeAt(2) == nullptr);
  QCOMPARE(dialog.model().selectedProject(), f.group.getProject(0));
}

void TrackerDialogTest::standAloneSavesModifiedFilesOnClose() {
  Fixture f;
  const std::string demo = f.world.writeDataFile("Demo.HMR", {{0, 5400}});
  whenModal<TdlgPrjRevedazl>([&](TdlgPrjRevedazl* dialog) {
    dialog->OpenProject(demo);
    showPage(child<QTabWidget>(*dialog, "PageControl"), "TabProjectInfo");
    child<QSpinBox>(*dialog, "sedtIdle")->setValue(9);
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  f.group.ShowDialog(true, demo);
  QCOMPARE(f.group.getProjectCount(), 0);
  // Read back: the file has the new threshold.
  THMRProject reread;
  reread.OpenFile(demo);
  QCOMPARE(reread.TimeForIdle, std::int64_t{540});
}

void TrackerDialogTest::standAloneSaveFailureKeepsTheDialogOpen() {
  Fixture f;
  const std::string demo = f.world.writeDataFile("gone/Demo.HMR", {{0, 5400}});
  TViewState memory;
  TdlgPrjRevedazl dialog(&f.group, &memory);
  dialog.SetStandAlone(true);
  dialog.FFileToOpen = demo;
  dialog.show();
  auto* pages = child<QTabWidget>(dialog, "PageControl");
  showPage(pages, "TabProjectInfo");
  child<QSpinBox>(dialog, "sedtIdle")->setValue(9);
  // The data file's folder goes away: the save on close fails.
  std::filesystem::remove_all(std::filesystem::path(demo).parent_path());
  QString text;
  whenModal<QMessageBox>([&](QMessageBox* box) {
    text = box->text();
    box->accept();
  });
  QTest::keyClick(&dialog, Qt::Key_Escape);
  QVERIFY2(text.contains("Demo.HMR"), qPrintable(text));
  QVERIFY(dialog.isVisible());
  QVERIFY(f.group.getProject(0)->Modified);  // nothing is lost: it is still to be saved
  QVERIFY(!memory.Saved);
  // The folder is back: closing saves and ends the showing.
  std::filesystem::create_directories(std::filesystem::path(demo).parent_path());
  QTest::keyClick(&dialog, Qt::Key_Escape);
  QVERIFY(!dialog.isVisible());
  QVERIFY(!f.group.getProject(0)->Modified);
  THMRProject reread;
  reread.OpenFile(demo);
  QCOMPARE(reread.TimeForIdle, std::int64_t{540});
}

void TrackerDialogTest::exportsTextAndSemicolonFilesOfTheGrid() {
  Fixture f;
  f.addTwoProjects();
  f.group.ActiveIndex = 0;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  QString proposed;
  const std::string textPath = f.world.file("out/report.txt");
  whenModal<QFileDialog>([&](QFileDialog* save) {
    proposed = save->selectedFiles().value(0);
    answerFileDialog(save, textPath);
  });
  child<QPushButton>(dialog, "cmdExport")->click();
  QVERIFY2(proposed.endsWith("/Demo.txt"), qPrintable(proposed));
  const std::string header = dialog.model().GetExportHeader();
  QVERIFY(header.find("Project:\r\n  Demo (" + f.world.file("Demo.HMR") + ")\r\n") !=
          std::string::npos);
  QVERIFY(header.find("  Group by: Session\r\n  Sort by: Session (Asc)\r\n") !=
          std::string::npos);
  QCOMPARE(hmr::testing::readBytes(textPath),
           buildTextReport(header, *dialog.historyPage().gridModel().cells()));

  const std::string csvPath = f.world.file("out/report");
  child<QComboBox>(dialog, "cbxExportFormat")->setCurrentIndex(1);
  whenModal<QFileDialog>([&](QFileDialog* save) {
    proposed = save->selectedFiles().value(0);
    answerFileDialog(save, csvPath);  // typed without its extension
  });
  child<QPushButton>(dialog, "cmdExport")->click();
  QVERIFY2(proposed.endsWith("/Demo.csv"), qPrintable(proposed));
  // A name typed without extension gets the default one.
  const std::string csv = hmr::testing::readBytes(csvPath + ".csv");
  QCOMPARE(csv, buildSemicolonText(*dialog.historyPage().gridModel().cells()));
  QVERIFY(csv.rfind("Open Date/Time;Close Date/Time;User Name;", 0) == 0);
}

void TrackerDialogTest::exportToClipboardCopiesTheGrid() {
  Fixture f;
  f.addTwoProjects();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  child<QComboBox>(dialog, "cbxExportFormat")->setCurrentIndex(2);
  child<QPushButton>(dialog, "cmdExport")->click();
  const std::string expected =
      buildClipboardText(dialog.model().GetExportHeader(),
                         *dialog.historyPage().gridModel().cells());
  QCOMPARE(QGuiApplication::clipboard()->text().toStdString(), expected);
  QVERIFY(expected.find("Project Group:\r\n  Demo (") != std::string::npos);
}

void TrackerDialogTest::exportWithAnEmptyGroupDoesNothing() {
  Fixture f;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  QGuiApplication::clipboard()->setText("before");
  child<QComboBox>(dialog, "cbxExportFormat")->setCurrentIndex(2);
  child<QPushButton>(dialog, "cmdExport")->click();
  QCOMPARE(QGuiApplication::clipboard()->text(), QString("before"));
  child<QComboBox>(dialog, "cbxExportFormat")->setCurrentIndex(0);
  child<QPushButton>(dialog, "cmdExport")->click();
  QVERIFY(dialog.findChild<QFileDialog*>("SaveDialog") == nullptr);
}

void TrackerDialogTest::exportWriteFailureShowsTheErrorAndKeepsTheGrid() {
  Fixture f;
  f.addTwoProjects();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  const std::string blocked = f.world.file("blocked");
  hmr::testing::writeBytes(blocked, "a file, not a folder");
  const std::string path = blocked + "/report.txt";
  QString text;
  whenModal<QFileDialog>([&](QFileDialog* save) {
    whenModal<QMessageBox>([&](QMessageBox* box) {
      text = box->text();
      box->accept();
    });
    // Qt's dialog refuses a folder that is not one: the name is typed and the dialog ended
    // past that check, as if the folder had gone while it showed.
    save->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(path));
    static_cast<QDialog*>(save)->done(QDialog::Accepted);
  });
  child<QPushButton>(dialog, "cmdExport")->click();
  QVERIFY2(text.startsWith("Error writing report file"), qPrintable(text));
  QVERIFY(dialog.isVisible());
  QCOMPARE(dialog.historyPage().gridModel().rowCount(), 3);
  QCOMPARE(f.group.getProjectCount(), 2);
}

QTEST_MAIN(TrackerDialogTest)
#include "uHMRDialogTest.moc"
