// SPDX-License-Identifier: MIT
// The periodic timer on QTimer: it fires on the event loop at its interval, stops when
// disabled, and an error in its callback is reported while the loop and the timer go on.
#include <QTest>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/ErrorBox.h"
#include "ui/QtPeriodicTimer.h"

using namespace hmr;

class QtPeriodicTimerTest : public QObject {
  Q_OBJECT

 private slots:
  void firesAtItsIntervalWhileEnabled();
  void callbackErrorsAreReportedAndTheTimerGoesOn();
};

void QtPeriodicTimerTest::firesAtItsIntervalWhileEnabled() {
  QtPeriodicTimer timer;
  int ticks = 0;
  timer.setCallback([&] { ++ticks; });
  timer.setIntervalMs(5);
  QCOMPARE(timer.intervalMs(), 5);
  QVERIFY(!timer.enabled());
  QTest::qWait(30);
  QCOMPARE(ticks, 0);
  timer.setEnabled(true);
  QVERIFY(timer.enabled());
  QTRY_VERIFY(ticks >= 3);
  timer.setEnabled(false);
  const int stopped = ticks;
  QTest::qWait(30);
  QCOMPARE(ticks, stopped);
}

void QtPeriodicTimerTest::callbackErrorsAreReportedAndTheTimerGoesOn() {
  std::vector<std::string> reported;
  QtPeriodicTimer timer([&](std::exception_ptr error) { reported.push_back(errorText(error)); });
  int ticks = 0;
  timer.setCallback([&] {
    ++ticks;
    if (ticks <= 2) throw std::runtime_error("tick " + std::to_string(ticks) + " failed");
  });
  timer.setIntervalMs(5);
  timer.setEnabled(true);
  QTRY_VERIFY(ticks >= 4);
  QCOMPARE(reported.size(), std::size_t{2});
  QCOMPARE(reported[0], std::string("tick 1 failed"));
  QCOMPARE(reported[1], std::string("tick 2 failed"));
  QVERIFY(timer.enabled());
}

QTEST_GUILESS_MAIN(QtPeriodicTimerTest)
#include "QtPeriodicTimerTest.moc"
