// SPDX-License-Identifier: MIT
// What the Qt Test suites of the tracker's windows share: a tracker on virtual time with a
// fixed locale, real data files in a scratch folder, and answers to the modal windows the
// code under test opens (message boxes, file dialogs, the tracker dialog itself).
#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/uHMRGlobal.h"
#include "core/uHMRProject.h"
#include "core/uHMRTimer.h"
#include "platform/Clock.h"
#include "platform/Locale.h"
#include "platform/PeriodicTimer.h"
#include "platform/VirtualTime.h"
#include "tests/support/TempFolder.h"

namespace hmr::ui_test {

// A tracker on virtual time starting Monday 2026-03-02 09:00, with a locale whose dates read
// 2026-03-02 and whose numbers use a full stop, and a scratch folder for data files.
class TrackerWorld {
 public:
  TrackerWorld()
      : start_(encodeDateTime(2026, 3, 2, 9, 0, 0)),
        clock_(start_),
        useClock_(clock_),
        locale_("%Y-%m-%d", "%H:%M:%S", "."),
        useLocale_(locale_) {
    auto timer = std::make_unique<ManualTimer>();
    ticks_ = timer.get();
    timerGlobal_ = std::make_unique<ScopedTimerGlobal>(std::move(timer));
    time_ = std::make_unique<VirtualTime>(clock_, *ticks_, start_);
  }

  void advance(long long seconds) { time_->advance(seconds); }
  TDateTime at(double hoursAfterStart) const { return start_ + hoursAfterStart / 24.0; }
  std::string file(const std::string& name) const { return scratch_.file(name); }

  // A session of the data file: opened `hoursAfterStart` after the start, lasting `seconds`.
  struct Session {
    double hoursAfterStart;
    std::int64_t seconds;
    std::int64_t idle = 0;
    std::string user = "ann";
    bool notClosed = false;
  };
  // Writes a data file with these sessions and settings; returns its path.
  std::string writeDataFile(const std::string& name, const std::vector<Session>& sessions,
                            std::int64_t timeForIdle = DefaultTimeForIdle,
                            std::int64_t minimumWorkTime = DefaultMinimumWorkTime) {
    const std::string path = file(name);
    THMRProject project;
    project.TimeForIdle = timeForIdle;
    project.MinimumWorkTime = minimumWorkTime;
    for (const Session& s : sessions) {
      const TDateTime open = at(s.hoursAfterStart);
      project.AddSession(open, open + static_cast<double>(s.seconds) / 86400.0, s.notClosed,
                         s.idle);
      project.Sessions.back().SessionUserName = s.user;
    }
    project.SaveFile(path);
    return path;
  }

 private:
  hmr::testing::TempFolder scratch_;
  TDateTime start_;
  VirtualClock clock_;
  ScopedClock useClock_;
  FixedLocale locale_;
  ScopedLocale useLocale_;
  ManualTimer* ticks_ = nullptr;
  std::unique_ptr<ScopedTimerGlobal> timerGlobal_;
  std::unique_ptr<VirtualTime> time_;
};

// Runs `action` on the next modal window of type W as soon as it is the active modal widget
// (giving up after five seconds). Call it before the code that opens the window.
template <class W>
void whenModal(std::function<void(W*)> action) {
  auto* poll = new QTimer;
  auto tries = std::make_shared<int>(0);
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, [poll, tries, action] {
    if (auto* window = qobject_cast<W*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      action(window);
    } else if (++*tries > 500) {
      poll->stop();
      poll->deleteLater();
    }
  });
  poll->start();
}

// Answers a file dialog as a person who types `path` into its name field and presses the
// accept button. Typed and accepted at once: the dialog's own completion of the name, which
// runs as it reads the folder, has no moment to change it. A dialog that refuses the name is
// cancelled, so that a test fails instead of waiting for ever.
inline void answerFileDialog(QFileDialog* dialog, const std::string& path) {
  dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(path));
  static_cast<QDialog*>(dialog)->accept();
  if (dialog->isVisible()) static_cast<QDialog*>(dialog)->reject();
}

}  // namespace hmr::ui_test
