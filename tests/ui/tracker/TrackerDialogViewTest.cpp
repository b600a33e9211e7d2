// SPDX-License-Identifier: MIT
// The tracker dialog as a person reads it, on the offscreen platform: every column of the
// grid fully visible at the default size in the C, English (US) and German date formats, the
// lists wide enough for their entries, no stale rows after a change of the project, the
// export header naming the grouping shown, the user controls of every host that asks at
// start-up, the save dialog's filter, one control per accelerator, a path with "&" in the
// caption, the selection kept over a refresh, and the running session following the tick.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QToolButton>
#include <clocale>
#include <map>
#include <string>

#include "core/uHMRUsers.h"
#include "platform/Locale.h"
#include "tests/ui/tracker/DialogTestSupport.h"
#include "ui/tracker/TreePane.h"

using namespace hmr;
using namespace hmr::ui_test;

namespace {

// A session of the data file opened at a given local date and time.
TrackerWorld::Session sessionAt(const TrackerWorld& world, TDateTime open,
                                std::int64_t seconds, std::int64_t idle,
                                const std::string& user) {
  return {(open - world.at(0)) * 24.0, seconds, idle, user};
}

// The widest sessions a year can give: the 28th of every month at 12:59 and 23:59 (both
// halves of the day), 1000 hours in all, of a user whose name is longer than its column's
// title.
std::vector<TrackerWorld::Session> widestSessions(const TrackerWorld& world) {
  std::vector<TrackerWorld::Session> sessions;
  for (int month = 1; month <= 12; ++month)
    for (const int hour : {12, 23})
      sessions.push_back(sessionAt(world, encodeDateTime(2026, month, 28, hour, 59, 0),
                                   150000, 50000, "margaret"));
  return sessions;
}

// The text of `index` fits in its cell: Qt's item views draw it inside the cell less a
// margin of the focus frame's width and one pixel on each side, and less the grid line.
bool cellShowsAll(const QTableView* grid, const QString& text, int width) {
  const int margin =
      2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1);
  return QFontMetrics(grid->font()).horizontalAdvance(text) + margin <= width - 1;
}

bool headerShowsAll(const QHeaderView* header, const QString& text, int width) {
  const int margin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
  return QFontMetrics(header->font()).horizontalAdvance(text) + margin <= width;
}

// Every header and every cell of the grid shows in full, side by side in its viewport.
void checkEveryColumnShows(TdlgPrjRevedazl& dialog) {
  auto* grid = child<QTableView>(dialog, "grdSessions");
  const QAbstractItemModel* model = grid->model();
  int total = 0;
  for (int c = 0; c < model->columnCount(); ++c) {
    const int width = grid->columnWidth(c);
    const QString title = model->headerData(c, Qt::Horizontal).toString();
    QVERIFY2(headerShowsAll(grid->horizontalHeader(), title, width), qPrintable(title));
    for (int r = 0; r < model->rowCount(); ++r) {
      const QString text = model->data(model->index(r, c)).toString();
      QVERIFY2(cellShowsAll(grid, text, width), qPrintable(title + ": " + text));
    }
    total += width;
  }
  QVERIFY2(total <= grid->viewport()->width(),
           qPrintable(QString("%1 > %2").arg(total).arg(grid->viewport()->width())));
  QCOMPARE(grid->horizontalScrollBar()->maximum(), 0);
}

// Every entry of the list fits in its text field.
void checkEveryEntryShows(QComboBox* combo, const QStringList& entries) {
  QStyleOptionComboBox option;
  option.initFrom(combo);
  option.editable = combo->isEditable();
  const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                     QStyle::SC_ComboBoxEditField, combo);
  const QFontMetrics metrics(combo->font());
  for (const QString& entry : entries)
    QVERIFY2(metrics.horizontalAdvance(entry) <= field.width(),
             qPrintable(combo->objectName() + ": " + entry));
}

// The letters after a single "&" of the texts of the visible controls, with the controls.
std::multimap<QChar, QString> visibleAccelerators(QWidget& dialog) {
  std::multimap<QChar, QString> found;
  const auto add = [&](const QString& text, const QString& name) {
    for (int i = 0; i + 1 < text.size(); ++i) {
      if (text[i] != '&') continue;
      if (text[i + 1] == '&') {
        ++i;
        continue;
      }
      found.emplace(text[i + 1].toLower(), name);
    }
  };
  for (QWidget* widget : dialog.findChildren<QWidget*>()) {
    if (!widget->isVisible()) continue;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      add(button->text(), button->objectName());
    } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
      add(box->title(), box->objectName());
    } else if (auto* label = qobject_cast<QLabel*>(widget); label && label->buddy()) {
      add(label->text(), label->objectName());
    } else if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
      for (int i = 0; i < tabs->count(); ++i)
        if (tabs->isTabVisible(i)) add(tabs->tabText(i), "tab " + tabs->tabText(i));
    }
  }
  return found;
}

}  // namespace

class TrackerDialogViewTest : public QObject {
  Q_OBJECT

 private slots:
  void everyColumnShowsAtTheDefaultSize_data();
  void everyColumnShowsAtTheDefaultSize();
  // The same with the locales' own formats, read from the system where they are installed.
  void everyColumnShowsInTheInstalledLocale_data();
  void everyColumnShowsInTheInstalledLocale();
  void listsAreWideEnoughForTheirEntries();
  void raisingTheMinimumRefreshesTheGridAndTheExport();
  void exportHeaderNamesTheGroupingTheGridShows();
  void lazarusLetsTheUserChangeTheUserAndTheQuestion();
  void saveDialogOffersTheFilterOfTheFormat();
  void everyAcceleratorReachesOneControl();
  void ampersandOfAPathShowsInTheCaption();
  void sortAndRegroupKeepTheSelectionAndTheSideScroll();
  void runningSessionFollowsTheTick();

 private:
  // Every column of the widest grids (sessions with their user, in hours and in minutes; the
  // group by project and by month) shows whole at the default size, in the locale in use.
  void checkTheWidestViews();
};

void TrackerDialogViewTest::everyColumnShowsAtTheDefaultSize_data() {
  QTest::addColumn<QString>("dateFormat");
  QTest::addColumn<QString>("timeFormat");
  QTest::addColumn<QString>("decimal");
  // The formats glibc gives for these locales (D_FMT, T_FMT, RADIXCHAR).
  QTest::newRow("C") << "%m/%d/%y" << "%H:%M:%S" << ".";
  QTest::newRow("en_US.UTF-8") << "%m/%d/%Y" << "%r" << ".";
  QTest::newRow("de_DE.UTF-8") << "%d.%m.%Y" << "%T" << ",";
}

void TrackerDialogViewTest::everyColumnShowsAtTheDefaultSize() {
  QFETCH(QString, dateFormat);
  QFETCH(QString, timeFormat);
  QFETCH(QString, decimal);
  FixedLocale locale(dateFormat.toStdString(), timeFormat.toStdString(), decimal.toStdString());
  ScopedLocale useLocale(locale);
  checkTheWidestViews();
}

void TrackerDialogViewTest::everyColumnShowsInTheInstalledLocale_data() {
  QTest::addColumn<QString>("name");
  for (const char* name : {"C", "en_US.UTF-8", "de_DE.UTF-8"}) QTest::newRow(name) << name;
}

void TrackerDialogViewTest::everyColumnShowsInTheInstalledLocale() {
  QFETCH(QString, name);
  const std::string before = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, name.toLatin1().constData()))
    QSKIP("the locale is not installed on this machine");
  struct Restore {
    std::string name;
    ~Restore() { std::setlocale(LC_ALL, name.c_str()); }
  } restore{before};
  SystemLocale locale;
  ScopedLocale useLocale(locale);
  checkTheWidestViews();
}

void TrackerDialogViewTest::checkTheWidestViews() {
  Fixture f;
  f.group.UserName = "margaret";
  f.group.AddDataFile(f.world.writeDataFile("Widest.HMR", widestSessions(f.world)));
  f.group.ActiveIndex = 0;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  // Sessions with their user: the widest grid, in hours and in minutes.
  QCOMPARE(dialog.historyPage().gridModel().columnCount(), 6);
  checkEveryColumnShows(dialog);
  QTest::mouseClick(child<QRadioButton>(dialog, "grpTimeUnitMinutes"), Qt::LeftButton);
  QCOMPARE(header(dialog, 3), QString("Total Time (min)"));
  checkEveryColumnShows(dialog);
  // The group level, by project and by month.
  clickNode(child<QTreeWidget>(dialog, "TreeView"), dialog.treePane().nodeAt(0));
  checkEveryColumnShows(dialog);
  choose(child<QComboBox>(dialog, "cmbGroupBy"), 5);
  QCOMPARE(header(dialog, 0), QString("Month"));
  checkEveryColumnShows(dialog);
}

void TrackerDialogViewTest::listsAreWideEnoughForTheirEntries() {
  Fixture f;
  f.addTwoProjects();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  auto* groupBy = child<QComboBox>(dialog, "cmbGroupBy");
  auto* sortBy = child<QComboBox>(dialog, "cmpSortItem");
  auto* order = child<QComboBox>(dialog, "cmpSortOrder");
  checkEveryEntryShows(order, items(order));
  // Every grouping at the group level, and the sort keys of each.
  for (int g = 0; g < groupBy->count(); ++g) {
    choose(groupBy, g);
    checkEveryEntryShows(groupBy, items(groupBy));
    checkEveryEntryShows(sortBy, items(sortBy));
  }
  auto* format = child<QComboBox>(dialog, "cbxExportFormat");
  showPage(child<QTabWidget>(dialog, "PageControl"), "TabTools");
  checkEveryEntryShows(format, items(format));
}

void TrackerDialogViewTest::raisingTheMinimumRefreshesTheGridAndTheExport() {
  Fixture f;
  f.group.AddDataFile(f.world.writeDataFile("Demo.HMR", {{0, 90}, {2, 3600}}));
  f.group.ActiveIndex = 0;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  QCOMPARE(dialog.historyPage().gridModel().rowCount(), 3);  // two sessions and the totals
  auto* pages = child<QTabWidget>(dialog, "PageControl");
  showPage(pages, "TabProjectInfo");
  child<QSpinBox>(dialog, "sedtMinimum")->setValue(2);
  whenModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
  showPage(pages, "TabHistory");
  QCOMPARE(f.group.getProject(0)->getSessionCount(), 1);
  // The grid shows what the project holds now: the hour-long session and the totals.
  QCOMPARE(dialog.historyPage().gridModel().rowCount(), 2);
  QCOMPARE(cell(dialog, 1, 3), QString("  1.000"));
  // And so does an export.
  showPage(pages, "TabTools");
  choose(child<QComboBox>(dialog, "cbxExportFormat"), 2);
  child<QPushButton>(dialog, "cmdExport")->click();
  const QString copied = QGuiApplication::clipboard()->text();
  QVERIFY2(!copied.contains("09:00"), qPrintable(copied));  // the 90-second session is gone
  QVERIFY2(copied.contains("11:00"), qPrintable(copied));
}

void TrackerDialogViewTest::exportHeaderNamesTheGroupingTheGridShows() {
  Fixture f;
  f.addTwoProjects();
  f.group.ActiveIndex = 0;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  auto* groupBy = child<QComboBox>(dialog, "cmbGroupBy");
  const auto exportedHeader = [&] {
    choose(child<QComboBox>(dialog, "cbxExportFormat"), 2);
    child<QPushButton>(dialog, "cmdExport")->click();
    return QGuiApplication::clipboard()->text();
  };
  // A word that names no grouping: the list goes back to the grouping the grid shows.
  groupBy->setFocus();
  groupBy->lineEdit()->selectAll();
  QTest::keyClicks(groupBy->lineEdit(), "Fortnight");
  QTest::keyClick(groupBy->lineEdit(), Qt::Key_Return);
  QCOMPARE(groupBy->currentText(), QString("Session"));
  QCOMPARE(header(dialog, 0), QString("Open Date/Time"));
  QVERIFY(exportedHeader().contains("  Group by: Session\r\n"));
  // A word that names one chooses it, for the grid and the header alike.
  groupBy->lineEdit()->selectAll();
  QTest::keyClicks(groupBy->lineEdit(), "Week");
  QTest::keyClick(groupBy->lineEdit(), Qt::Key_Return);
  QCOMPARE(groupBy->currentText(), QString("Week"));
  QCOMPARE(header(dialog, 0), QString("Week"));
  QVERIFY(exportedHeader().contains("  Group by: Week\r\n"));
}

void TrackerDialogViewTest::lazarusLetsTheUserChangeTheUserAndTheQuestion() {
  Fixture f;
  f.group.SetHostTool(ftLazarus, "3.0");
  SetShowDialogKey(f.store, f.group.RegistryKey, true);
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  showPage(child<QTabWidget>(dialog, "PageControl"), "TabTools");
  auto* box = child<QCheckBox>(dialog, "chkShowUserDlg");
  QVERIFY(child<QPushButton>(dialog, "btnChangeUser")->isEnabled());
  QVERIFY(box->isEnabled());
  QVERIFY(box->isChecked());
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 8, box->height() / 2));
  QVERIFY(!GetShowDialogKey(f.store, f.group.RegistryKey));
}

void TrackerDialogViewTest::saveDialogOffersTheFilterOfTheFormat() {
  Fixture f;
  f.addTwoProjects();
  f.group.ActiveIndex = 0;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  auto* format = child<QComboBox>(dialog, "cbxExportFormat");
  const auto offered = [&](int choice) {
    QString filter, name;
    format->setCurrentIndex(choice);
    whenModal<QFileDialog>([&](QFileDialog* save) {
      filter = save->selectedNameFilter();
      name = save->selectedFiles().value(0);
      save->reject();
    });
    child<QPushButton>(dialog, "cmdExport")->click();
    return filter + " " + QFileInfo(name).fileName();
  };
  QCOMPARE(offered(1), QString("Formated Text (comma separated) (*.csv) Demo.csv"));
  QCOMPARE(offered(0), QString("Text (*.txt) Demo.txt"));
  QCOMPARE(offered(1), QString("Formated Text (comma separated) (*.csv) Demo.csv"));
}

void TrackerDialogViewTest::everyAcceleratorReachesOneControl() {
  Fixture f;
  f.addTwoProjects();
  f.group.ActiveIndex = 0;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.SetStandAlone(true);  // the tree's Open and Close buttons show
  dialog.show();
  dialog.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&dialog));
  auto* pages = child<QTabWidget>(dialog, "PageControl");
  for (const char* page : {"TabHistory", "TabProjectInfo", "TabTools", "TabChart"}) {
    showPage(pages, page);
    const std::multimap<QChar, QString> found = visibleAccelerators(dialog);
    for (auto it = found.begin(); it != found.end(); ++it)
      QVERIFY2(found.count(it->first) == 1,
               qPrintable(QString(page) + ": Alt+" + it->first + " on " + it->second));
  }
  // With Project Info showing, the configuration's key reaches its first spin box, and Alt+C
  // is the tree's Close button alone.
  showPage(pages, "TabProjectInfo");
  QTest::keyClick(&dialog, Qt::Key_F, Qt::AltModifier);
  QTRY_COMPARE(QApplication::focusWidget(), child<QSpinBox>(dialog, "sedtIdle"));
}

void TrackerDialogViewTest::ampersandOfAPathShowsInTheCaption() {
  Fixture f;
  const std::string path = f.world.writeDataFile("R&D.HMR", {{0, 600}});
  f.group.AddDataFile(path);
  f.group.ActiveIndex = 0;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  QString shown = QString::fromStdString(path);
  shown.replace("&", "&&");  // one "&" on screen, not an accelerator
  QCOMPARE(child<QLabel>(dialog, "lblCapProj")->text(),
           "  Project &Information: " + shown + "(CLOSED)");
}

void TrackerDialogViewTest::sortAndRegroupKeepTheSelectionAndTheSideScroll() {
  Fixture f;
  std::vector<TrackerWorld::Session> many;
  for (int i = 0; i < 80; ++i) many.push_back({i * 3.0, 600 + (i * 37 % 80) * 60});
  f.group.AddDataFile(f.world.writeDataFile("Many.HMR", many));
  f.group.ActiveIndex = 0;
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  dialog.resize(420, dialog.height());  // narrow: the grid scrolls sideways
  auto* grid = child<QTableView>(dialog, "grdSessions");
  QTRY_VERIFY(grid->horizontalScrollBar()->maximum() > 0);
  grid->setCurrentIndex(dialog.historyPage().gridModel().index(60, 0));
  const QString opened = cell(dialog, 60, 0);
  const QString work = cell(dialog, 60, 5);
  grid->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->maximum());
  const int side = grid->horizontalScrollBar()->value();
  // Sorted by work time, descending: the session moves, and stays selected and in view.
  choose(child<QComboBox>(dialog, "cmpSortItem"), 3);
  choose(child<QComboBox>(dialog, "cmpSortOrder"), 1);
  const int row = grid->currentIndex().row();
  QVERIFY(row != 60);
  QCOMPARE(cell(dialog, row, 0), opened);
  QCOMPARE(cell(dialog, row, 5), work);
  const QRect shown = grid->visualRect(grid->currentIndex());
  QVERIFY(shown.top() >= 0 && shown.bottom() <= grid->viewport()->height());
  QCOMPARE(grid->horizontalScrollBar()->value(), side);
  // The totals row is found again after a regrouping; the side scroll stays.
  const int totals = dialog.historyPage().gridModel().rowCount() - 1;
  grid->setCurrentIndex(dialog.historyPage().gridModel().index(totals, 0));
  grid->horizontalScrollBar()->setValue(side);
  choose(child<QComboBox>(dialog, "cmbGroupBy"), 2);  // Day
  QCOMPARE(header(dialog, 0), QString("Day"));
  QCOMPARE(grid->currentIndex().row(), dialog.historyPage().gridModel().rowCount() - 1);
  QCOMPARE(grid->horizontalScrollBar()->value(),
           std::min(side, grid->horizontalScrollBar()->maximum()));
}

void TrackerDialogViewTest::runningSessionFollowsTheTick() {
  Fixture f;
  f.addRunningProject();
  TdlgPrjRevedazl dialog(&f.group);
  dialog.show();
  QCOMPARE(cell(dialog, 1, 1), QString("Current"));
  QCOMPARE(cell(dialog, 1, 3), QString("  0.067"));  // four minutes
  auto* grid = child<QTableView>(dialog, "grdSessions");
  grid->setCurrentIndex(dialog.historyPage().gridModel().index(1, 0));
  f.world.advance(360);
  QCOMPARE(cell(dialog, 1, 3), QString("  0.167"));  // ten minutes, without a click
  QCOMPARE(cell(dialog, 2, 3), QString("  1.667"));  // and the totals with it
  QCOMPARE(grid->currentIndex().row(), 1);
  // A hidden dialog does not follow.
  dialog.hide();
  f.world.advance(600);
  QCOMPARE(cell(dialog, 1, 3), QString("  0.167"));
}

QTEST_MAIN(TrackerDialogViewTest)
#include "TrackerDialogViewTest.moc"
