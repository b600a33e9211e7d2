// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Clock.h"
#include "platform/PeriodicTimer.h"

namespace hmr {

// Time that passes only when told to: a virtual clock and a manual periodic timer moved
// together. The timer fires at every mark start + interval * k (k >= 1) that the clock
// crosses, in order, with the clock reading each mark as it fires. The clock's time passed
// moves with `advance`, not with `shiftClock`.
class VirtualTime {
 public:
  // `clock` and `timer` are not owned; `start` is the clock's reading at elapsed time 0.
  VirtualTime(VirtualClock& clock, ManualTimer& timer, LocalDateTime start);

  // Lets `seconds` (>= 0) pass, firing the timer at each mark reached, the last one included.
  void advance(long long seconds);
  // Sets the wall clock forward (or back, when negative) by `seconds` without any time passing:
  // a daylight-saving change or a correction of the clock. The timer keeps its marks, which
  // follow the time that passes, not the clock's reading.
  void shiftClock(long long seconds);

 private:
  void setClock(long long elapsed);

  VirtualClock& clock_;
  ManualTimer& timer_;
  LocalDateTime start_;
  double clockElapsedAtStart_;  // the clock's time passed at elapsed time 0
  long long elapsed_ = 0;
};

}  // namespace hmr
