// SPDX-License-Identifier: MIT
#pragma once

#include "platform/InstalledService.h"

namespace hmr {

// A reading of the local wall clock as a date-time: days since 1899-12-30, the fraction
// being the time of day. Same representation as TDateTime in the core.
using LocalDateTime = double;

// Source of the current local date and time, and of the time that passes. The tracking core
// reads the date and time through nowTrunc only; tests and the scripted host install a
// VirtualClock instead of the system one.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime now() const = 0;
  // Seconds that passed since a fixed moment of this clock. Unlike now(), it never jumps when
  // the wall clock is set (a correction, a step of the network time, a daylight-saving
  // change); time the machine slept counts as time that passed. The tracker compares the two
  // to tell a clock that was set from time that passed.
  virtual double elapsedSeconds() const = 0;
};

// The process's local time (clock_gettime + localtime_r), with millisecond resolution; the
// time that passed is the system's CLOCK_BOOTTIME, which counts suspended time too.
class SystemClock final : public Clock {
 public:
  LocalDateTime now() const override;
  double elapsedSeconds() const override;
};

// A clock that only moves when told to.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(LocalDateTime start = 0.0) : now_(start) {}
  LocalDateTime now() const override { return now_; }
  double elapsedSeconds() const override { return elapsed_; }
  // Sets the wall clock without any time passing: a correction or a daylight-saving change.
  void set(LocalDateTime when) { now_ = when; }
  // Sets the wall clock and the time passed (>= its last value) together: for the drivers of
  // virtual time, which move both.
  void set(LocalDateTime when, double elapsed) {
    now_ = when;
    elapsed_ = elapsed;
  }
  // Lets time pass: both readings move.
  void advanceSeconds(double seconds) {
    now_ += seconds / 86400.0;
    elapsed_ += seconds;
  }

 private:
  LocalDateTime now_;
  double elapsed_ = 0.0;
};

// The clock in use. Never null: the system clock until another one is installed.
Clock& currentClock();

// Installs `clock` (not owned; must outlive its installation) and returns the previous one.
// Passing nullptr restores the system clock.
Clock* installClock(Clock* clock);

using ScopedClock = ScopedInstall<Clock, installClock>;

}  // namespace hmr
