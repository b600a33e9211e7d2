// SPDX-License-Identifier: MIT
// The time of an IDE host: its clock and the periodic timers of its event loop. Time passes
// when the host is told so (a script's advance) or, in real time, when it catches up with a
// real clock; either way the timers fire at every mark start + interval * k reached, in
// order, with the clock reading the mark as it fires. A machine that slept therefore has its
// idle countdowns run out where they would have.
//
// The clock keeps to the dates where a date-time's number grows with time, as the tracker's
// arithmetic assumes, and that a data file can hold: 1899-12-30 to the end of the year 9999.
// What would leave them fails with IdeActionError and changes nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/PeriodicTimer.h"

namespace hmr {

class IdeLoopTimer;

class IdeTime final {
 public:
  // Shows what a timer's callback raised; the timer keeps running.
  using ErrorDisplay = std::function<void(const std::string& message)>;

  // Starts at `start` (the clock's reading before time passes).
  IdeTime(LocalDateTime start, ErrorDisplay showError);
  ~IdeTime();
  IdeTime(const IdeTime&) = delete;
  IdeTime& operator=(const IdeTime&) = delete;

  // The host's clock: the time passed so far; it moves only as time passes or shifts.
  VirtualClock& clock() { return clock_; }
  const VirtualClock& clock() const { return clock_; }
  // A periodic timer of the host's event loop; it must not outlive this object (the host
  // unloads its packages, and their timers with them, first).
  std::unique_ptr<PeriodicTimer> createTimer();

  // Sets the clock; only before time has first passed.
  void setClock(LocalDateTime when);
  // Lets `seconds` (>= 0) pass. A timer whose owner said its ticks would do nothing
  // (setQuiet) is not fired: stretches where every timer is quiet are passed over at once.
  void advance(std::int64_t seconds);
  // Sets the clock forward or back without time passing (a daylight-saving change, a
  // correction of the clock); the timers keep their marks.
  void shiftClock(std::int64_t seconds);
  bool timeHasPassed() const { return started_; }
  std::int64_t elapsedSeconds() const { return elapsedMs_ / 1000; }

  // ---- real time: the one driver for every host that follows a real clock ----
  // From now on `source` (not owned, outliving this object) is the real clock, and the clock
  // catches up with it at once.
  void followRealClock(const Clock& source);
  bool inRealTime() const { return source_ != nullptr; }
  // Lets pass the time that separates the clock from the real clock's reading, the timers
  // firing at their marks on the way, or sets the clock back when the reading lies a second
  // or more behind it (the clock was set back). Whole seconds only. Nothing without a real
  // clock.
  void catchUp();
  // The same with `now` as the real clock's reading.
  void catchUpWith(LocalDateTime now);

  // For the timers: they join and leave the event loop.
  void timerCreated(IdeLoopTimer* timer);
  void timerDestroyed(IdeLoopTimer* timer);

 private:
  void setClockToElapsed();

  VirtualClock clock_;
  ErrorDisplay showError_;
  LocalDateTime start_;
  std::int64_t elapsedMs_ = 0;
  bool started_ = false;
  const Clock* source_ = nullptr;
  std::vector<IdeLoopTimer*> timers_;
};

}  // namespace hmr
