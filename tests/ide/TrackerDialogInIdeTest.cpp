// SPDX-License-Identifier: MIT
// The tracker inside the stand-in IDE offering Qt widgets: the IDE loads the real package
// (linked in, entered as the IDE enters a package library), the package asks the IDE for its
// windows and installs its Qt dialogs and its QTimer, and the View-menu entry opens the real
// dialog on the tracked project, its running session shown as "Current".
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <sstream>

#include "core/uHMRProjectGroup.h"
#include "core/uHMRTimer.h"
#include "host/ide/StandInIde.h"
#include "ide/HMExpertPackage.h"
#include "ide/uHMWizard.h"
#include "platform/Locale.h"
#include "platform/MemorySettingsStore.h"
#include "tests/support/TempFolder.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/DlgUser.h"
#include "ui/QtPeriodicTimer.h"
#include "ui/QtTrackerUi.h"
#include "ui/tracker/HistoryPage.h"
#include "ui/tracker/SessionGridModel.h"
#include "ui/tracker/uHMRDialog.h"

using namespace hmr;

namespace {

// A stand-in Delphi 5 IDE at 2026-03-02 09:00 with a fixed locale and a scratch folder; the
// package is linked in and loaded as the IDE loads a package library.
struct StandInWorld {
  StandInWorld() : useLocale(locale) {
    TDateTime start = 0;
    parseIsoDateTime("2026-03-02T09:00:00", start);
    ide.setClock(start);
  }
  PackageRecord& loadPackage() {
    return ide.loadPackage("HMExpert50.bpl", {&hmrPackageLoad, &Register, &hmrPackageUnload});
  }

  FixedLocale locale{"%Y-%m-%d", "%H:%M:%S", "."};
  ScopedLocale useLocale;
  hmr::testing::TempFolder scratch;
  MemorySettingsStore store;
  std::ostringstream out, err;
  StandInIde ide{5, store, out, err};
};

}  // namespace

class TrackerDialogInIdeTest : public QObject {
  Q_OBJECT

 private slots:
  void menuEntryOpensTheDialogOnTheRunningSession();
  void withoutWindowsOfferedThePackageKeepsToTheReportThoughQtRuns();
};

void TrackerDialogInIdeTest::menuEntryOpensTheDialogOnTheRunningSession() {
  StandInWorld world;
  StandInIde& ide = world.ide;
  // The IDE offers Qt widgets, as hmr-ide --gui does.
  ide.offerWindows(HostWindows::qtWidgets);
  // At its start the package asks who works, in the user dialog; OK takes the logon name.
  bool asked = false;
  ui_test::whenModal<TDlgSetUser>([&](TDlgSetUser* users) {
    asked = true;
    users->close();
  });
  PackageRecord& record = world.loadPackage();
  QCOMPARE(record.state, PackageState::Registered);
  QVERIFY(asked);
  // With Qt widgets offered, the package counts time on a QTimer.
  QVERIFY(dynamic_cast<QtPeriodicTimer*>(&TimerGlobal->timer()) != nullptr);
  QVERIFY(TimerGlobal->timer().enabled());

  const std::string project = world.scratch.file("Billing/Billing.dpr");
  const std::string unit = world.scratch.file("Billing/Invoice.pas");
  ide.openProject(project);
  ide.openFile(unit, {project});
  ide.activate(project);
  ide.advance(120);
  ide.edit(unit);
  ide.advance(1500);  // half past nine
  ide.edit(unit);

  QString caption, closeCell, totalCell, userCell, groupBy;
  int rows = -1;
  bool timerRunning = false;
  ui_test::whenModal<TdlgPrjRevedazl>([&](TdlgPrjRevedazl* dialog) {
    caption = dialog->findChild<QLabel*>("lblCapProj")->text();
    const SessionGridModel& model = dialog->historyPage().gridModel();
    rows = model.rowCount();
    closeCell = model.data(model.index(0, 1)).toString();
    userCell = model.data(model.index(0, 2)).toString();
    totalCell = model.data(model.index(0, 3)).toString();
    groupBy = dialog->findChild<QComboBox*>("cmbGroupBy")->currentText();
    // The IDE's timer goes on behind the modal dialog.
    timerRunning = TimerGlobal->timer().enabled();
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  ide.clickViewMenu("Project Revedazl");

  const std::string dataFile = world.scratch.file("Billing/Billing.HMR");
  QCOMPARE(caption, QString::fromStdString("  Project &Information: " + dataFile + "(OPEN)"));
  QCOMPARE(groupBy, QString("Session"));
  QCOMPARE(rows, 2);  // the running session and the totals
  QCOMPARE(closeCell, QString("Current"));
  QCOMPARE(totalCell, QString("  0.450"));  // 27 minutes so far
  QVERIFY(!userCell.isEmpty());
  QVERIFY(timerRunning);
  QVERIFY(ide.errorsShown().empty());
  // The dialog is gone and the group knows it; the view is remembered for the next showing.
  auto* wizard = static_cast<THMWizard*>(record.wizards.at(0).get());
  QVERIFY(!wizard->projectGroup()->Dialog);
  QVERIFY(linkedPackageQtWindows() && linkedPackageQtWindows()->viewState().Saved);

  ide.closeProject(project);
  QVERIFY(std::filesystem::exists(dataFile));
}

// The package asks its IDE, not the process: with a Qt application running (this test's) but
// no windows offered, it asks nobody at its start, counts time on the IDE's own timer and
// writes the tracker dialog's report to the IDE's output; no window shows.
void TrackerDialogInIdeTest::withoutWindowsOfferedThePackageKeepsToTheReportThoughQtRuns() {
  StandInWorld world;
  StandInIde& ide = world.ide;
  QCOMPARE(ide.windows(), HostWindows::windowless);
  // A window, were one to show, would be modal and wait: the watcher closes it and says so.
  bool windowShown = false;
  QTimer watcher;
  watcher.setInterval(10);
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    if (QWidget* window = QApplication::activeModalWidget()) {
      windowShown = true;
      window->close();
    }
  });
  watcher.start();
  QCOMPARE(world.loadPackage().state, PackageState::Registered);
  QVERIFY(dynamic_cast<QtPeriodicTimer*>(&TimerGlobal->timer()) == nullptr);
  QVERIFY(linkedPackageQtWindows() == nullptr);
  const std::string project = world.scratch.file("Billing/Billing.dpr");
  ide.openProject(project);
  ide.advance(120);
  ide.clickViewMenu("Project Revedazl");
  const std::string report = world.out.str();
  QVERIFY2(report.find("For Delphi 5\r\nHost Version 2.0b") != std::string::npos,
           report.c_str());
  QCoreApplication::processEvents();
  QVERIFY(!windowShown);
  QVERIFY(ide.errorsShown().empty());
  ide.closeProject(project);
}

QTEST_MAIN(TrackerDialogInIdeTest)
#include "TrackerDialogInIdeTest.moc"
