// SPDX-License-Identifier: MIT
#pragma once

#include <exception>
#include <functional>

namespace hmr {

// Reports an error that escaped a timer callback. The event loop that runs the timer calls
// it and keeps running: an exception never unwinds into the loop itself.
using ErrorReporter = std::function<void(std::exception_ptr)>;

// Writes the error's message to standard error.
void reportToStandardError(std::exception_ptr error);

// A periodic timer whose callback runs on the thread that owns the event loop.
// Implementations: ManualTimer (the owner fires ticks; tests and the scripted host) and, for
// interactive programs, one on the toolkit's timer.
class PeriodicTimer {
 public:
  using Callback = std::function<void()>;

  virtual ~PeriodicTimer() = default;
  virtual void setCallback(Callback callback) = 0;
  virtual void setIntervalMs(int milliseconds) = 0;
  virtual int intervalMs() const = 0;
  virtual void setEnabled(bool enabled) = 0;
  virtual bool enabled() const = 0;
  // The owner's word that, until it says otherwise, every tick would do nothing (nothing is
  // counting down). A driver of virtual time may then pass over the ticks instead of firing
  // them one by one; a real timer keeps its rhythm and may ignore it.
  virtual void setQuiet(bool quiet) { (void)quiet; }
};

// A timer that ticks only when its owner calls tick(). A tick while disabled does nothing.
// An exception from the callback is caught here, at the loop's edge, and handed to the
// error reporter (standard error by default); tick() itself never throws.
class ManualTimer final : public PeriodicTimer {
 public:
  explicit ManualTimer(ErrorReporter reporter = reportToStandardError)
      : reporter_(std::move(reporter)) {}

  void setCallback(Callback callback) override { callback_ = std::move(callback); }
  void setIntervalMs(int milliseconds) override { intervalMs_ = milliseconds; }
  int intervalMs() const override { return intervalMs_; }
  void setEnabled(bool enabled) override { enabled_ = enabled; }
  bool enabled() const override { return enabled_; }

  // Fires the callback once if the timer is enabled. Returns whether it fired.
  bool tick();

 private:
  Callback callback_;
  ErrorReporter reporter_;
  int intervalMs_ = 0;
  bool enabled_ = false;
};

}  // namespace hmr
