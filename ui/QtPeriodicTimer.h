// SPDX-License-Identifier: MIT
// The periodic timer of programs that run a Qt event loop: a QTimer whose callback runs on
// the thread that owns the loop.
#pragma once

#include <QObject>
#include <QTimer>

#include "platform/PeriodicTimer.h"

namespace hmr {

// An error raised by the callback is caught at the loop's edge and handed to the reporter
// (a message box by default, standard error without a QApplication); the timer keeps firing.
class QtPeriodicTimer final : public QObject, public PeriodicTimer {
  Q_OBJECT

 public:
  explicit QtPeriodicTimer(ErrorReporter reporter = {});

  void setCallback(Callback callback) override { callback_ = std::move(callback); }
  void setIntervalMs(int milliseconds) override;
  int intervalMs() const override { return timer_.interval(); }
  void setEnabled(bool enabled) override;
  bool enabled() const override { return timer_.isActive(); }

 private:
  void fire() noexcept;

  QTimer timer_;
  Callback callback_;
  ErrorReporter reporter_;
};

}  // namespace hmr
