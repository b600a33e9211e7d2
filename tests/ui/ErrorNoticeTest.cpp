// SPDX-License-Identifier: MIT
// Problems that time brings (a checkpoint that failed) reach a windowed user in a box that
// does not wait: the tracker's timer goes on ticking while the message is open.
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "ui/QtTrackerUi.h"

using namespace hmr;

class ErrorNoticeTest : public QObject {
  Q_OBJECT

 private slots:
  void showsTheMessageWithoutStoppingTheEventLoop();
};

void ErrorNoticeTest::showsTheMessageWithoutStoppingTheEventLoop() {
  QtTrackerUi ui;
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(5);
  ui.showError("Error saving HMR file /p/A.HMR : No space left on device");
  // showError has returned with the box still open, and the loop keeps running.
  QMessageBox* box = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
  QVERIFY(box != nullptr);
  QVERIFY(!box->isModal());
  QCOMPARE(box->text(), QString("Error saving HMR file /p/A.HMR : No space left on device"));
  const int before = ticks;
  QTRY_VERIFY(ticks >= before + 3);
  box->accept();
}

QTEST_MAIN(ErrorNoticeTest)
#include "ErrorNoticeTest.moc"
