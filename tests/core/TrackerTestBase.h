// SPDX-License-Identifier: MIT
// A tracker on virtual time: a virtual clock, the global timer on a manual periodic timer, and
// a way to let time pass that fires the timer at every 15-second mark.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "core/uHMRGlobal.h"
#include "core/uHMRTimer.h"
#include "platform/Clock.h"
#include "platform/PeriodicTimer.h"
#include "platform/UserFolders.h"
#include "platform/VirtualTime.h"
#include "tests/support/TempFolder.h"

namespace hmr {

class TrackerTestBase : public ::testing::Test {
 protected:
  explicit TrackerTestBase(TDateTime start = encodeDateTime(2026, 12, 7, 9, 0, 0))
      : start_(start), clock_(start), useClock_(clock_) {
    auto timer = std::make_unique<ManualTimer>([](std::exception_ptr e) { std::rethrow_exception(e); });
    ticks_ = timer.get();
    timerGlobal_ = std::make_unique<ScopedTimerGlobal>(std::move(timer));
    time_ = std::make_unique<VirtualTime>(clock_, *ticks_, start_);
  }

  void advance(long long seconds) {
    time_->advance(seconds);
    elapsed_ += seconds;
  }
  // Seconds that passed since the test began.
  long long elapsed() const { return elapsed_; }
  TDateTime at(long long seconds) const { return start_ + static_cast<double>(seconds) / 86400.0; }
  std::int64_t secondsOf(TDateTime dt) const {
    return ConvertDateTimeToSeconds(dt) - ConvertDateTimeToSeconds(start_);
  }

  // Recovery files of the projects of one test stay with that test.
  testing::TempFolder state_;
  ScopedRecoveryFolder recovery_{state_.path() + "/hmr"};
  TDateTime start_;
  VirtualClock clock_;
  ScopedClock useClock_;
  ManualTimer* ticks_ = nullptr;
  std::unique_ptr<ScopedTimerGlobal> timerGlobal_;
  std::unique_ptr<VirtualTime> time_;
  long long elapsed_ = 0;
};

}  // namespace hmr
