// SPDX-License-Identifier: MIT
#include "ui/QtPeriodicTimer.h"

#include "ui/ErrorBox.h"

namespace hmr {

QtPeriodicTimer::QtPeriodicTimer(ErrorReporter reporter) : reporter_(std::move(reporter)) {
  if (!reporter_) reporter_ = [](std::exception_ptr error) { showErrorBox(nullptr, error); };
  timer_.setTimerType(Qt::CoarseTimer);
  connect(&timer_, &QTimer::timeout, this, &QtPeriodicTimer::fire);
}

void QtPeriodicTimer::setIntervalMs(int milliseconds) { timer_.setInterval(milliseconds); }

void QtPeriodicTimer::setEnabled(bool enabled) {
  if (enabled) {
    if (!timer_.isActive()) timer_.start();
  } else {
    timer_.stop();
  }
}

void QtPeriodicTimer::fire() noexcept {
  if (!callback_) return;
  try {
    callback_();
  } catch (...) {
    try {
      reporter_(std::current_exception());
    } catch (...) {
      // A reporter that fails has nowhere left to report to; the loop goes on.
    }
  }
}

}  // namespace hmr
