// SPDX-License-Identifier: MIT
#pragma once

#include "platform/InstalledService.h"

namespace hmr {

// A reading of the local wall clock as a date-time: days since 1899-12-30, the fraction
// being the time of day. Same representation as TDateTime in the core.
using LocalDateTime = double;

// Source of the current local date and time. The tracking core reads it through nowTrunc
// only; tests and the scripted host install a VirtualClock instead of the system one.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime now() const = 0;
};

// The process's local time (clock_gettime + localtime_r), with millisecond resolution.
class SystemClock final : public Clock {
 public:
  LocalDateTime now() const override;
};

// A clock that only moves when told to.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(LocalDateTime start = 0.0) : now_(start) {}
  LocalDateTime now() const override { return now_; }
  void set(LocalDateTime when) { now_ = when; }
  void advanceSeconds(double seconds) { now_ += seconds / 86400.0; }

 private:
  LocalDateTime now_;
};

// The clock in use. Never null: the system clock until another one is installed.
Clock& currentClock();

// Installs `clock` (not owned; must outlive its installation) and returns the previous one.
// Passing nullptr restores the system clock.
Clock* installClock(Clock* clock);

using ScopedClock = ScopedInstall<Clock, installClock>;

}  // namespace hmr
