// SPDX-License-Identifier: MIT
#include "idehosting/IdeTime.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

#include "core/HMRFileFormat.h"
#include "idehosting/IdeActionError.h"

namespace hmr {

// A periodic timer of the host's event loop, fired as the host's time passes.
class IdeLoopTimer final : public PeriodicTimer {
 public:
  IdeLoopTimer(IdeTime& time, IdeTime::ErrorDisplay& showError)
      : time_(time), showError_(showError) {
    time_.timerCreated(this);
  }
  ~IdeLoopTimer() override { time_.timerDestroyed(this); }

  void setCallback(Callback callback) override { callback_ = std::move(callback); }
  void setIntervalMs(int milliseconds) override { intervalMs_ = milliseconds; }
  int intervalMs() const override { return intervalMs_; }
  void setEnabled(bool enabled) override { enabled_ = enabled; }
  bool enabled() const override { return enabled_; }
  void setQuiet(bool quiet) override { quiet_ = quiet; }

  bool running() const { return enabled_ && intervalMs_ > 0 && callback_; }
  // Running, and its owner has not said that its ticks would do nothing.
  bool due() const { return running() && !quiet_; }
  void fire() {
    if (!running()) return;
    try {
      callback_();
    } catch (const std::exception& e) {
      showError_(e.what());
    } catch (...) {
      showError_("Unknown error in a timer");
    }
  }

 private:
  IdeTime& time_;
  IdeTime::ErrorDisplay& showError_;
  Callback callback_;
  int intervalMs_ = 0;
  bool enabled_ = false;
  bool quiet_ = false;
};

namespace {

// Before 1899-12-30 the day counts down while its time of day counts up; after 9999 no data
// file holds the date.
constexpr LocalDateTime kEarliestClock = 0.0;  // 1899-12-30 00:00:00
constexpr const char* kClockRange =
    "1899-12-30T00:00:00 to 9999-12-31T23:59:59, the dates the tracker keeps";

bool clockInRange(LocalDateTime when) {
  return when >= kEarliestClock && when < hmrfile::kMaxDateTime;  // false for NaN
}

}  // namespace

IdeTime::IdeTime(LocalDateTime start, ErrorDisplay showError)
    : clock_(start), showError_(std::move(showError)), start_(start) {}

IdeTime::~IdeTime() = default;

std::unique_ptr<PeriodicTimer> IdeTime::createTimer() {
  return std::make_unique<IdeLoopTimer>(*this, showError_);
}

void IdeTime::timerCreated(IdeLoopTimer* timer) { timers_.push_back(timer); }

void IdeTime::timerDestroyed(IdeLoopTimer* timer) { std::erase(timers_, timer); }

void IdeTime::setClockToElapsed() {
  // The time passed follows `advance` only: a shift of the clock passes none.
  clock_.set(start_ + static_cast<double>(elapsedMs_) / 86400000.0,
             static_cast<double>(elapsedMs_) / 1000.0);
}

void IdeTime::setClock(LocalDateTime when) {
  if (started_) throw IdeActionError("the clock can only be set before time passes");
  if (!clockInRange(when))
    throw IdeActionError(std::string("the clock must be within ") + kClockRange);
  start_ = when;
  setClockToElapsed();
}

void IdeTime::shiftClock(std::int64_t seconds) {
  const double start = start_ + static_cast<double>(seconds) / 86400.0;
  if (!clockInRange(start + static_cast<double>(elapsedMs_) / 86400000.0))
    throw IdeActionError("shifting the clock by " + std::to_string(seconds) +
                         " seconds would take it outside " + kClockRange);
  start_ = start;
  setClockToElapsed();
}

void IdeTime::advance(std::int64_t seconds) {
  if (seconds < 0) throw IdeActionError("time cannot go back");
  // Checked before any arithmetic on it: the clock stays within the dates a data file holds.
  const double end = start_ + (static_cast<double>(elapsedMs_) / 1000.0 +
                               static_cast<double>(seconds)) / 86400.0;
  if (seconds > hmrfile::kMaxSeconds || !(end < hmrfile::kMaxDateTime))
    throw IdeActionError("advance " + std::to_string(seconds) +
                         " would take the clock past 9999-12-31T23:59:59, the last moment a "
                         "data file holds");
  started_ = true;
  const std::int64_t target = elapsedMs_ + seconds * 1000;
  // Only timers whose ticks would do something are fired; an advance costs the marks it
  // fires, not its length.
  for (;;) {
    std::int64_t next = -1;
    for (IdeLoopTimer* timer : timers_) {
      if (!timer->due()) continue;
      const std::int64_t interval = timer->intervalMs();
      const std::int64_t mark = (elapsedMs_ / interval + 1) * interval;
      if (next < 0 || mark < next) next = mark;
    }
    if (next < 0 || next > target) break;
    elapsedMs_ = next;
    setClockToElapsed();
    const std::vector<IdeLoopTimer*> due = timers_;
    for (IdeLoopTimer* timer : due) {
      // A callback may have destroyed another timer.
      if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end()) continue;
      if (timer->due() && next % timer->intervalMs() == 0) timer->fire();
    }
  }
  elapsedMs_ = target;
  setClockToElapsed();
}

void IdeTime::followRealClock(const Clock& source) {
  source_ = &source;
  catchUp();
}

void IdeTime::catchUp() {
  if (source_) catchUpWith(source_->now());
}

void IdeTime::catchUpWith(LocalDateTime now) {
  // In whole milliseconds first: date-times are days, and a second is not exact in them.
  const std::int64_t behindMs = std::llround((now - clock_.now()) * 86400000.0);
  const std::int64_t seconds = behindMs / 1000;  // towards zero, both ways
  if (seconds > 0) {
    advance(seconds);
  } else if (seconds < 0) {
    shiftClock(seconds);
  }
}

}  // namespace hmr
