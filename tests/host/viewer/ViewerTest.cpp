// SPDX-License-Identifier: MIT
// hmr-viewer: its body run in-process on the offscreen platform, a person acting on the
// dialog it shows (the file named on the command line, a lower-case name, a missing and a
// corrupt file, a change saved on closing); and the program itself, closed by
// HMR_VIEWER_CLOSE_WHEN_IDLE, for its command line and its messages.
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "core/HMRFileFormat.h"
#include "core/HMRFileIO.h"
#include "core/uHMRProject.h"
#include "host/viewer/Viewer.h"
#include "platform/Locale.h"
#include "platform/MemorySettingsStore.h"
#include "tests/support/RunProgram.h"
#include "tests/support/StoreEnvironment.h"
#include "tests/support/TempFolder.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/tracker/TreePane.h"
#include "ui/tracker/uHMRDialog.h"

using namespace hmr;
using hmr::testing::TempFolder;
using hmr::ui_test::whenModal;

namespace {

// Writes a data file of `sessions` one-hour sessions (ten minutes idle) from 2026-03-02 09:00,
// one a day, with the default settings.
std::string writeDataFile(const std::string& path, int sessions) {
  std::vector<TSessionData> list;
  const TDateTime start = encodeDateTime(2026, 3, 2, 9, 0, 0);
  for (int i = 0; i < sessions; ++i) {
    TSessionData s;
    s.SessionDateTimeOpen = start + i;
    s.SessionDateTimeClose = start + i + 1.0 / 24.0;
    s.SessionIdleTime = 600;
    s.SessionUserName = "ann";
    s.UpdateCalculatedFields();
    list.push_back(std::move(s));
  }
  testing::writeBytes(path, encodeHmrFile(DefaultTimeForIdle, DefaultMinimumWorkTime, "", list));
  return path;
}

// What the dialog showed when it came up.
struct Seen {
  QStringList nodes;        // the tree's labels, group node first
  QString projectFileName;  // the first project's file name
  int sessions = -1;        // its session count
  bool openButtonUsable = false;
  QString forTool;
  bool changeUserEnabled = true;
};

Seen look(TdlgPrjRevedazl* dialog) {
  Seen seen;
  for (int i = 0; QTreeWidgetItem* node = dialog->treePane().nodeAt(i); ++i)
    seen.nodes << node->text(0);
  if (QTreeWidgetItem* node = dialog->treePane().nodeAt(1)) {
    auto* project = static_cast<THMRProject*>(node->data(0, Qt::UserRole).value<void*>());
    seen.projectFileName = QString::fromStdString(project->FileName);
    seen.sessions = project->getSessionCount();
  }
  auto* open = dialog->findChild<QToolButton*>("btnOpen");
  seen.openButtonUsable = open->isVisible() && open->isEnabled();
  seen.forTool = dialog->findChild<QLabel*>("lblForTool")->text();
  seen.changeUserEnabled = dialog->findChild<QPushButton*>("btnChangeUser")->isEnabled();
  return seen;
}

void pressClose(TdlgPrjRevedazl* dialog) {
  QTest::mouseClick(dialog->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
}

// Runs the viewer on `file` in-process; `person` acts on the dialog once it is up.
int runViewerOn(const std::string& file, std::function<void(TdlgPrjRevedazl*)> person,
                std::string* errors = nullptr) {
  MemorySettingsStore store;
  std::ostringstream err;
  whenModal<TdlgPrjRevedazl>(std::move(person));
  const int status = runViewer(ViewerOptions{file}, &store, err);
  if (errors) *errors = err.str();
  return status;
}

// The lines of the idle closer in what the program wrote on standard error (Qt may add
// diagnostics of its own).
QString closedLines(const std::string& err) {
  QStringList lines;
  for (const QString& line : QString::fromStdString(err).split('\n'))
    if (line.startsWith("closed: ")) lines << line + '\n';
  return lines.join(QString());
}

}  // namespace

class ViewerTest : public QObject {
  Q_OBJECT

 private slots:
  void relativeNameIsMadeAbsoluteKeepingItsCase();
  void opensTheFileNamedOnItsCommandLine();
  void opensALowerCaseFileUnderItsOwnName();
  void missingFileShowsTheReadMessageAndStaysUsable();
  void corruptFileShowsTheReadMessageAndStaysUsable();
  void changedProjectIsSavedWhenTheViewerCloses();
  void unchangedFileIsNotWritten();

  void programAnswersHelpAndUsageErrors();
  void programRunsWindowlessAndReportsWhatItShowed();
};

void ViewerTest::relativeNameIsMadeAbsoluteKeepingItsCase() {
  const std::filesystem::path here = std::filesystem::current_path();
  QCOMPARE(viewerFilePath("billing.hmr"), (here / "billing.hmr").string());
  QCOMPARE(viewerFilePath("./Work/../Billing.HMR"), (here / "Billing.HMR").string());
  QCOMPARE(viewerFilePath("/data/Billing.HMR"), std::string("/data/Billing.HMR"));
  QCOMPARE(viewerFilePath(""), std::string());
}

void ViewerTest::opensTheFileNamedOnItsCommandLine() {
  TempFolder folder;
  const std::string file = writeDataFile(folder.file("Billing.HMR"), 3);
  Seen seen;
  const int status = runViewerOn(file, [&](TdlgPrjRevedazl* dialog) {
    seen = look(dialog);
    pressClose(dialog);
  });
  QCOMPARE(status, 0);
  QCOMPARE(seen.nodes, (QStringList{"Group", "Billing"}));
  QCOMPARE(seen.projectFileName, QString::fromStdString(file));
  QCOMPARE(seen.sessions, 3);
  QVERIFY(seen.openButtonUsable);  // stand-alone mode
  QCOMPARE(seen.forTool, QString("Viewer"));
  QVERIFY(!seen.changeUserEnabled);
}

void ViewerTest::opensALowerCaseFileUnderItsOwnName() {
  TempFolder folder;
  const std::string file = writeDataFile(folder.file("billing.hmr"), 2);
  Seen seen;
  runViewerOn(file, [&](TdlgPrjRevedazl* dialog) {
    seen = look(dialog);
    pressClose(dialog);
  });
  QCOMPARE(seen.projectFileName, QString::fromStdString(file));
  QCOMPARE(seen.sessions, 2);
  QCOMPARE(folder.names(), std::vector<std::string>{"billing.hmr"});
}

void ViewerTest::missingFileShowsTheReadMessageAndStaysUsable() {
  TempFolder folder;
  const std::string file = folder.file("Gone.HMR");
  QString message;
  Seen seen;
  whenModal<QMessageBox>([&](QMessageBox* box) {
    message = box->text();
    // The dialog is under the message; look at it once the message is answered.
    whenModal<TdlgPrjRevedazl>([&](TdlgPrjRevedazl* dialog) {
      seen = look(dialog);
      pressClose(dialog);
    });
    box->accept();
  });
  MemorySettingsStore store;
  std::ostringstream err;
  QCOMPARE(runViewer(ViewerOptions{file}, &store, err), 0);
  QCOMPARE(message, QString::fromStdString("Error reading HMR file " + file +
                                           " : No such file or directory"));
  QCOMPARE(seen.nodes, QStringList());
  QVERIFY(seen.openButtonUsable);
  QVERIFY(!std::filesystem::exists(file));
}

void ViewerTest::corruptFileShowsTheReadMessageAndStaysUsable() {
  TempFolder folder;
  const std::string file = writeDataFile(folder.file("Broken.HMR"), 2);
  std::string bytes = testing::readBytes(file);
  bytes[bytes.size() / 2] ^= 0x5a;  // the checksum no longer matches
  testing::writeBytes(file, bytes);
  QString message;
  whenModal<QMessageBox>([&](QMessageBox* box) {
    message = box->text();
    box->accept();
  });
  Seen seen;
  const int status = runViewerOn(file, [&](TdlgPrjRevedazl* dialog) {
    seen = look(dialog);
    pressClose(dialog);
  });
  QCOMPARE(status, 0);
  QCOMPARE(message, QString::fromStdString("Error reading HMR file " + file +
                                           " : HMR file is corrupted"));
  QCOMPARE(seen.nodes, QStringList());
  QVERIFY(seen.openButtonUsable);
  QCOMPARE(testing::readBytes(file), bytes);  // left as it was
}

void ViewerTest::changedProjectIsSavedWhenTheViewerCloses() {
  TempFolder folder;
  const std::string file = writeDataFile(folder.file("billing.hmr"), 3);
  runViewerOn(file, [](TdlgPrjRevedazl* dialog) {
    auto* tree = dialog->findChild<QTreeWidget*>("TreeView");
    tree->setCurrentItem(dialog->treePane().nodeAt(1));
    auto* pages = dialog->findChild<QTabWidget*>("PageControl");
    pages->setCurrentWidget(dialog->findChild<QWidget*>("TabProjectInfo"));
    auto* idle = dialog->findChild<QSpinBox*>("sedtIdle");
    idle->setValue(12);
    pressClose(dialog);  // with the Project Info page still showing
  });
  HmrFileContents contents;
  readHmrFile(file, contents);
  QCOMPARE(contents.timeForIdle, std::optional<std::int64_t>(12 * 60));
  QCOMPARE(contents.minimumWorkTime, std::optional<std::int64_t>(DefaultMinimumWorkTime));
  QCOMPARE(contents.sessions.size(), std::size_t{3});
  // Saved in place, under its own name, through a temporary file that is gone again.
  QCOMPARE(folder.names(), std::vector<std::string>{"billing.hmr"});
}

void ViewerTest::unchangedFileIsNotWritten() {
  TempFolder folder;
  const std::string file = writeDataFile(folder.file("Billing.HMR"), 1);
  const auto written = std::filesystem::last_write_time(file);
  const std::string bytes = testing::readBytes(file);
  runViewerOn(file, [](TdlgPrjRevedazl* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
  QCOMPARE(testing::readBytes(file), bytes);
  QVERIFY(std::filesystem::last_write_time(file) == written);
}

void ViewerTest::programAnswersHelpAndUsageErrors() {
  TempFolder scratch;
  const auto help = test_support::runProgram(HMR_VIEWER_PATH, {"--help"}, scratch.path());
  QCOMPARE(help.status, 0);
  QVERIFY(help.out.find("hmr-viewer") != std::string::npos);
  const auto extra =
      test_support::runProgram(HMR_VIEWER_PATH, {"a.HMR", "b.HMR"}, scratch.path());
  QCOMPARE(extra.status, 2);
  QVERIFY(!extra.err.empty());
  const auto unknown = test_support::runProgram(HMR_VIEWER_PATH, {"--nope"}, scratch.path());
  QCOMPARE(unknown.status, 2);
  QVERIFY(!unknown.err.empty());
}

void ViewerTest::programRunsWindowlessAndReportsWhatItShowed() {
  TempFolder scratch, data;
  test_support::StoreEnvironment store(scratch.file("registry.db"), scratch.path());
  qputenv("HMR_VIEWER_CLOSE_WHEN_IDLE", "1");
  const auto none = test_support::runProgram(HMR_VIEWER_PATH, {}, scratch.path());
  QCOMPARE(none.status, 0);
  QCOMPARE(closedLines(none.err), QString("closed: HMR - Project Revedazl\n"));

  const std::string good = writeDataFile(data.file("Billing.HMR"), 2);
  const auto shown = test_support::runProgram(HMR_VIEWER_PATH, {good}, scratch.path());
  QCOMPARE(shown.status, 0);
  QCOMPARE(closedLines(shown.err), QString("closed: HMR - Project Revedazl\n"));

  const std::string corrupt = data.file("broken.hmr");
  testing::writeBytes(corrupt, "not a data file");
  const auto broken = test_support::runProgram(HMR_VIEWER_PATH, {corrupt}, scratch.path());
  QCOMPARE(broken.status, 0);
  QCOMPARE(closedLines(broken.err),
           QString::fromStdString("closed: HMR: Error reading HMR file " + corrupt +
                                  " : HMR file is corrupted\nclosed: HMR - Project Revedazl\n"));

  const std::string missing = data.file("Gone.HMR");
  const auto gone = test_support::runProgram(HMR_VIEWER_PATH, {missing}, scratch.path());
  QCOMPARE(gone.status, 0);
  QCOMPARE(closedLines(gone.err),
           QString::fromStdString("closed: HMR: Error reading HMR file " + missing +
                                  " : No such file or directory\n"
                                  "closed: HMR - Project Revedazl\n"));
  // The viewer asked nothing of the settings store.
  QVERIFY(!std::filesystem::exists(scratch.file("registry.db")));
  qputenv("HMR_VIEWER_CLOSE_WHEN_IDLE", "");
}

QTEST_MAIN(ViewerTest)
#include "ViewerTest.moc"
