// SPDX-License-Identifier: MIT
// The user-name dialog driven as a person drives it, on the offscreen platform: its form, the
// names it offers, what typing and each way of closing it keep, and its two callers (the
// group at start-up and the tracker dialog's "Change User").
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "core/uHMRGlobal.h"
#include "core/uHMRProjectGroup.h"
#include "platform/Locale.h"
#include "platform/MemorySettingsStore.h"
#include "platform/SystemFacts.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/DlgUser.h"
#include "ui/QtTrackerUi.h"
#include "ui/tracker/uHMRDialog.h"

using namespace hmr;
using hmr::ui_test::whenModal;

namespace {

const std::string kKey = "\\SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5";

// A settings store, a locale that compares names without regard to case, and a logon name.
struct Fixture {
  FixedLocale locale{"%Y-%m-%d", "%H:%M:%S", "."};
  ScopedLocale useLocale{locale};
  FixedSystemFacts facts;
  ScopedSystemFacts useFacts{facts};
  MemorySettingsStore store;

  Fixture() { facts.logon = "ann"; }
  void storeUsers(const std::string& text) { store.writeString(HMRRootKey, kKey, "Users", text); }
  std::string users() { return store.readString(HMRRootKey, kKey, "Users").value_or("<none>"); }
};

// What one showing of the dialog gave: its modal result and the name.
struct Outcome {
  int result = -1;
  std::string name;
};

// Shows the dialog on `name` and lets `person` act on it once it is the modal window.
Outcome runWith(Fixture& f, const std::string& name, std::function<void(TDlgSetUser*)> person) {
  whenModal<TDlgSetUser>(std::move(person));
  Outcome outcome{-1, name};
  outcome.result = runUserDialog(f.store, true, kKey, outcome.name);
  return outcome;
}

QComboBox* combo(QWidget* dialog) { return dialog->findChild<QComboBox*>("cbxUsers"); }

// Types `text` over what the combo box shows, as a person does.
void typeName(TDlgSetUser* dialog, const char* text) {
  QComboBox* box = combo(dialog);
  box->lineEdit()->selectAll();
  QTest::keyClicks(box, text);
}

QStringList items(const QComboBox* box) {
  QStringList list;
  for (int i = 0; i < box->count(); ++i) list << box->itemText(i);
  return list;
}

}  // namespace

class DlgUserTest : public QObject {
  Q_OBJECT

 private slots:
  void formHasItsCaptionBorderSizeAndControls();
  void firstStartOffersTheLogonNameAndStoresIt();
  void viewerHostAsksNobody();
  void namesAreSortedWithoutRegardToCase();
  void nameDifferingOnlyInCaseAddsNoEntry();
  void blankNameGivesAnonymous();
  void enterTakesTheTypedName();
  void escActsAsOk();
  void closeBoxActsAsOk();
  void pickedEntryIsTaken();
  void changeUserTakesTheChosenName();
  void storeErrorReachesTheCaller();
};

void DlgUserTest::formHasItsCaptionBorderSizeAndControls() {
  Fixture f;
  TDlgSetUser dialog(f.store);
  dialog.SetRegKeyPath(kKey);
  dialog.SetCurrentUser("ann");
  dialog.SetAllowNewUser(true);
  dialog.show();
  QCOMPARE(dialog.windowTitle(), QString("Project Revedazl"));
  QCOMPARE(dialog.size(), QSize(268, 95));
  QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
  const Qt::WindowFlags flags = dialog.windowFlags();
  QVERIFY(flags & Qt::WindowCloseButtonHint);
  QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
  QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
  QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
  QVERIFY(!dialog.windowIcon().isNull());

  auto* image = dialog.findChild<QLabel*>("Image1");
  QCOMPARE(image->size(), QSize(32, 32));
  QCOMPARE(image->pixmap().size(), QSize(32, 32));
  QCOMPARE(dialog.findChild<QLabel*>("Label1")->text(), QString("Select a User Name:"));
  QVERIFY(combo(&dialog)->isEditable());
  auto* ok = dialog.findChild<QPushButton*>("OKBtn");
  QCOMPARE(ok->text(), QString("OK"));
  QVERIFY(ok->isDefault());
  // Every control lies inside the client area, none over another.
  QList<QWidget*> controls{image, dialog.findChild<QLabel*>("Label1"), combo(&dialog), ok};
  for (QWidget* control : controls) QVERIFY(dialog.rect().contains(control->geometry()));
  for (int i = 0; i < controls.size(); ++i)
    for (int j = i + 1; j < controls.size(); ++j)
      QVERIFY(!controls[i]->geometry().intersects(controls[j]->geometry()));
  dialog.close();
  QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void DlgUserTest::firstStartOffersTheLogonNameAndStoresIt() {
  Fixture f;
  QtTrackerUi ui;
  THMRProjectGroup group(&ui, &f.store);
  group.SetHostTool(ftDelphi5, "2.0b");
  QStringList offered;
  QString shown, usersWhileShown;
  std::optional<std::uint32_t> showDialog;
  whenModal<TDlgSetUser>([&](TDlgSetUser* dialog) {
    offered = items(combo(dialog));
    shown = combo(dialog)->currentText();
    usersWhileShown = QString::fromStdString(f.users());
    showDialog = f.store.readDword(HMRRootKey, kKey, "ShowDialog");
    QTest::mouseClick(dialog->findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
  });
  group.ShowUserDialog(false);
  QCOMPARE(offered, QStringList{"ann"});
  QCOMPARE(shown, QString("ann"));
  QCOMPARE(usersWhileShown, QString(""));  // written empty when the dialog showed
  QCOMPARE(showDialog, std::optional<std::uint32_t>(1));
  QCOMPARE(group.UserName, std::string("ann"));
  QCOMPARE(f.users(), std::string("ann\r\n"));
}

void DlgUserTest::viewerHostAsksNobody() {
  Fixture f;
  QtTrackerUi ui;
  THMRProjectGroup group(&ui, &f.store);
  group.SetHostTool(ftViewer, "2.0");
  // A watch that closes a user dialog should one show, and stops with this test.
  bool asked = false;
  QTimer watch;
  watch.setInterval(10);
  connect(&watch, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<TDlgSetUser*>(QApplication::activeModalWidget())) {
      asked = true;
      dialog->close();
    }
  });
  watch.start();
  group.ShowUserDialog(false);
  watch.stop();
  QVERIFY(!asked);
  QCOMPARE(group.UserName, std::string("ann"));
  QCOMPARE(f.users(), std::string("<none>"));
}

void DlgUserTest::namesAreSortedWithoutRegardToCase() {
  Fixture f;
  f.storeUsers("carl\r\nAnn\r\nbob\r\n");
  QStringList offered;
  int index = -1;
  const Outcome outcome = runWith(f, "bob", [&](TDlgSetUser* dialog) {
    offered = items(combo(dialog));
    index = combo(dialog)->currentIndex();
    QTest::keyClick(combo(dialog), Qt::Key_Return);
  });
  QCOMPARE(offered, (QStringList{"Ann", "bob", "carl"}));
  QCOMPARE(index, 1);
  QCOMPARE(outcome.result, 1);
  QCOMPARE(outcome.name, std::string("bob"));
  QCOMPARE(f.users(), std::string("Ann\r\nbob\r\ncarl\r\n"));
}

void DlgUserTest::nameDifferingOnlyInCaseAddsNoEntry() {
  Fixture f;
  f.storeUsers("Ann\r\nbob\r\n");
  const Outcome outcome = runWith(f, "bob", [](TDlgSetUser* dialog) {
    typeName(dialog, "ANN");
    QTest::keyClick(combo(dialog), Qt::Key_Return);
  });
  QCOMPARE(outcome.result, 1);
  QCOMPARE(outcome.name, std::string("ANN"));  // as typed
  QCOMPARE(f.users(), std::string("Ann\r\nbob\r\n"));
}

void DlgUserTest::blankNameGivesAnonymous() {
  Fixture f;
  f.storeUsers("bob\r\n");
  const Outcome outcome = runWith(f, "bob", [](TDlgSetUser* dialog) {
    typeName(dialog, "   ");
    QTest::mouseClick(dialog->findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
  });
  QCOMPARE(outcome.result, 1);
  QCOMPARE(outcome.name, std::string("Anonymous"));
  QCOMPARE(f.users(), std::string("bob\r\n"));
}

void DlgUserTest::enterTakesTheTypedName() {
  Fixture f;
  f.storeUsers("bob\r\n");
  const Outcome outcome = runWith(f, "bob", [](TDlgSetUser* dialog) {
    typeName(dialog, "erin");
    QTest::keyClick(combo(dialog), Qt::Key_Enter);
  });
  QCOMPARE(outcome.result, 1);
  QCOMPARE(outcome.name, std::string("erin"));
  QCOMPARE(f.users(), std::string("bob\r\nerin\r\n"));
}

void DlgUserTest::escActsAsOk() {
  Fixture f;
  const Outcome outcome = runWith(f, "ann", [](TDlgSetUser* dialog) {
    typeName(dialog, "dave");
    QTest::keyClick(combo(dialog), Qt::Key_Escape);
  });
  QCOMPARE(outcome.result, 1);
  QCOMPARE(outcome.name, std::string("dave"));
  QCOMPARE(f.users(), std::string("ann\r\ndave\r\n"));
}

void DlgUserTest::closeBoxActsAsOk() {
  Fixture f;
  const Outcome outcome = runWith(f, "ann", [](TDlgSetUser* dialog) {
    typeName(dialog, "carol");
    dialog->close();  // what the title bar's close box asks for
  });
  QCOMPARE(outcome.result, 1);
  QCOMPARE(outcome.name, std::string("carol"));
  QCOMPARE(f.users(), std::string("ann\r\ncarol\r\n"));
}

void DlgUserTest::pickedEntryIsTaken() {
  Fixture f;
  f.storeUsers("Ann\r\nbob\r\n");
  const Outcome outcome = runWith(f, "zed", [](TDlgSetUser* dialog) {
    combo(dialog)->setCurrentIndex(1);  // bob
    QTest::mouseClick(dialog->findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
  });
  QCOMPARE(outcome.name, std::string("bob"));
  // The current name was offered, so it is kept in the list too.
  QCOMPARE(f.users(), std::string("Ann\r\nbob\r\nzed\r\n"));
}

void DlgUserTest::changeUserTakesTheChosenName() {
  Fixture f;
  QtTrackerUi ui;
  THMRProjectGroup group(&ui, &f.store);
  group.SetHostTool(ftDelphi5, "2.0b");
  group.UserName = "ann";
  TdlgPrjRevedazl dialog(&group);
  dialog.show();
  auto* pages = dialog.findChild<QTabWidget*>("PageControl");
  pages->setCurrentWidget(pages->findChild<QWidget*>("TabTools"));
  whenModal<TDlgSetUser>([](TDlgSetUser* users) {
    typeName(users, "zoe");
    QTest::mouseClick(users->findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
  });
  QTest::mouseClick(dialog.findChild<QPushButton*>("btnChangeUser"), Qt::LeftButton);
  QCOMPARE(dialog.findChild<QLineEdit*>("edtCurrentUser")->text(), QString("zoe"));
  QCOMPARE(group.UserName, std::string("zoe"));
  QCOMPARE(f.users(), std::string("ann\r\nzoe\r\n"));
}

void DlgUserTest::storeErrorReachesTheCaller() {
  Fixture f;
  f.store.writeDword(HMRRootKey, kKey, "Users", 7);  // not a string
  std::string name = "ann";
  bool failed = false;
  try {
    runUserDialog(f.store, true, kKey, name);
  } catch (const std::exception&) {
    failed = true;
  }
  QVERIFY(failed);
  QCOMPARE(name, std::string("ann"));
}

QTEST_MAIN(DlgUserTest)
#include "DlgUserTest.moc"
