// SPDX-License-Identifier: MIT
#include "platform/VirtualTime.h"

namespace hmr {

VirtualTime::VirtualTime(VirtualClock& clock, ManualTimer& timer, LocalDateTime start)
    : clock_(clock), timer_(timer), start_(start), clockElapsedAtStart_(clock.elapsedSeconds()) {
  setClock(0);
}

void VirtualTime::setClock(long long elapsed) {
  elapsed_ = elapsed;
  // Whole seconds are added to the start so that each reading is the same double whatever
  // route led to it.
  clock_.set(start_ + static_cast<double>(elapsed) / 86400.0,
             clockElapsedAtStart_ + static_cast<double>(elapsed));
}

void VirtualTime::advance(long long seconds) {
  if (seconds < 0) seconds = 0;
  const long long target = elapsed_ + seconds;
  const long long interval = timer_.intervalMs() >= 1000 ? timer_.intervalMs() / 1000 : 15;
  for (long long mark = (elapsed_ / interval + 1) * interval; mark <= target; mark += interval) {
    setClock(mark);
    timer_.tick();
  }
  setClock(target);
}

void VirtualTime::shiftClock(long long seconds) {
  start_ += static_cast<double>(seconds) / 86400.0;
  setClock(elapsed_);
}

}  // namespace hmr
