// SPDX-License-Identifier: MIT
// The tracker's Qt dialog through the C interface, as the Lazarus package opens it: the
// library finds the program's Qt application (here the test's, offscreen; in the IDE one it
// makes itself) and shows the real dialog on the live project group. While the dialog shows,
// the IDE behind it goes on reporting: those calls come back at once, wait, and run when the
// dialog has closed; a tick runs at once.
#include <QAbstractItemModel>
#include <QApplication>
#include <QDialog>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "core/HMRFileIO.h"
#include "lazarus/hmr_tracker.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

// Runs `action` on the modal dialog of this title once it shows. The library's dialog classes
// are its own: the test knows them by their titles.
void whenDialogShows(const QString& title, std::function<void(QDialog*)> action) {
  auto* poll = new QTimer;
  poll->setInterval(10);
  auto tries = std::make_shared<int>(0);
  QObject::connect(poll, &QTimer::timeout, [poll, tries, title, action] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog && dialog->windowTitle() == title) {
      poll->deleteLater();
      poll->stop();
      action(dialog);
    } else if (++*tries > 500) {
      poll->deleteLater();
      poll->stop();
      // No dialog: whatever shows modally closes, so the test fails instead of hanging.
      if (QWidget* other = QApplication::activeModalWidget()) other->close();
    }
  });
  poll->start();
}

void whenTrackerDialogShows(std::function<void(QDialog*)> action) {
  whenDialogShows("HMR - Project Revedazl", std::move(action));
}

// The texts of the dialog's session grid, one line per row, cells separated by '|'.
QString gridText(QDialog* dialog) {
  auto* grid = dialog->findChild<QTableView*>("grdSessions");
  if (!grid) return "no grid";
  const QAbstractItemModel* model = grid->model();
  QString text;
  for (int row = 0; row < model->rowCount(); ++row) {
    for (int column = 0; column < model->columnCount(); ++column)
      text += model->data(model->index(row, column)).toString() + "|";
    text += "\n";
  }
  return text;
}

hmr::HmrFileContents read(const std::string& file) {
  hmr::HmrFileContents contents;
  hmr::readHmrFile(file, contents);
  return contents;
}

}  // namespace

class TrackerDialogInLazarusTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void theMenuShowsTheDialogAndTheIdesReportsWaitForIt();
  void aStopWhileTheDialogShowsClosesItAndStops();
  void failuresOfCallsThatWaitedAreToldByTheOuterCall();

 private:
  std::string file(const char* name) const { return folder_->file(name); }
  // Starts the tracker on the project demo.lpi with one unit, edited.
  void startOnTheDemoProject();

  std::unique_ptr<hmr::testing::TempFolder> folder_;
  std::string project_, unit_;
};

void TrackerDialogInLazarusTest::init() {
  folder_ = std::make_unique<hmr::testing::TempFolder>();
  qputenv("HMR_REGISTRY", QByteArray::fromStdString(file("registry.db")));
  qputenv("XDG_STATE_HOME", QByteArray::fromStdString(file("state")));
  project_ = file("demo.lpi");
  unit_ = file("unit1.pas");
}

void TrackerDialogInLazarusTest::cleanup() {
  hmr_tracker_stop();  // whatever a failed test left running
  folder_.reset();
}

void TrackerDialogInLazarusTest::startOnTheDemoProject() {
  // A Qt application runs from the start here: the package asks who works, and OK answers.
  bool asked = false;
  whenDialogShows("Project Revedazl", [&](QDialog* users) {
    asked = true;
    users->close();
  });
  QCOMPARE(hmr_tracker_start("Lazarus"), int(HMR_OK));
  QVERIFY(asked);
  const char* owners[] = {project_.c_str()};
  QCOMPARE(hmr_project_opened(project_.c_str()), int(HMR_OK));
  QCOMPARE(hmr_file_opened(unit_.c_str(), owners, 1), int(HMR_OK));
  QCOMPARE(hmr_source_edited(unit_.c_str()), int(HMR_OK));
}

void TrackerDialogInLazarusTest::theMenuShowsTheDialogAndTheIdesReportsWaitForIt() {
  startOnTheDemoProject();
  QString grid;
  bool savedUnderTheDialog = true;
  int edited = -1, ticked = -1, chosenAgain = -1, closed = -1;
  whenTrackerDialogShows([&](QDialog* dialog) {
    grid = gridText(dialog);
    edited = hmr_source_edited(unit_.c_str());
    ticked = hmr_timer_tick();
    chosenAgain = hmr_menu_chosen();
    closed = hmr_project_closed(project_.c_str());
    // The project closes only when the dialog is done with the group.
    savedUnderTheDialog = fs::exists(file("demo.HMR"));
    dialog->close();
  });
  const int shown = hmr_menu_chosen();
  QCOMPARE(shown, int(HMR_OK));
  QVERIFY2(grid.contains("|Current|"), qPrintable(grid));
  QCOMPARE(edited, int(HMR_OK));
  QCOMPARE(ticked, int(HMR_OK));
  QCOMPARE(chosenAgain, int(HMR_OK));
  QCOMPARE(closed, int(HMR_OK));
  QVERIFY(!savedUnderTheDialog);
  // The close that waited has run: the session is in the data file.
  const hmr::HmrFileContents saved = read(file("demo.HMR"));
  QCOMPARE(saved.sessions.size(), size_t(1));
  QVERIFY(!saved.sessions[0].SessionNotClosed);
}

void TrackerDialogInLazarusTest::aStopWhileTheDialogShowsClosesItAndStops() {
  startOnTheDemoProject();
  int stopped = -1;
  whenTrackerDialogShows([&](QDialog*) { stopped = hmr_tracker_stop(); });
  // The dialog closes by itself; the test would hang (and time out) otherwise.
  QCOMPARE(hmr_menu_chosen(), int(HMR_OK));
  QCOMPARE(stopped, int(HMR_OK));
  QCOMPARE(hmr_tracker_stop(), int(HMR_WRONG_ORDER));
  QCOMPARE(read(file("demo.HMR")).sessions.size(), size_t(1));
}

void TrackerDialogInLazarusTest::failuresOfCallsThatWaitedAreToldByTheOuterCall() {
  startOnTheDemoProject();
  int refused = -1, waited = -1;
  std::string refusal;
  const std::string stranger = file("stranger.pas");
  whenTrackerDialogShows([&](QDialog* dialog) {
    // Bad arguments are refused at once, to the caller; the IDE's state is asked later.
    refused = hmr_source_edited("relative.pas");
    refusal = hmr_last_error();
    waited = hmr_source_edited(stranger.c_str());
    dialog->close();
  });
  const int shown = hmr_menu_chosen();
  QCOMPARE(refused, int(HMR_BAD_ARGUMENT));
  QCOMPARE(refusal, std::string("The file is not absolute: relative.pas"));
  QCOMPARE(waited, int(HMR_OK));
  QCOMPARE(shown, int(HMR_REPORTED));
  const std::string report = hmr_last_error();
  QVERIFY2(report.find(stranger) != std::string::npos, report.c_str());
  QVERIFY2(report.find("relative.pas") == std::string::npos, report.c_str());
}

QTEST_MAIN(TrackerDialogInLazarusTest)
#include "TrackerDialogInLazarusTest.moc"
