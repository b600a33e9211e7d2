// SPDX-License-Identifier: MIT
#include "core/uHMRTimer.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/PeriodicTimer.h"

namespace hmr {
namespace {

// A global timer on a manual periodic timer whose errors are collected, not printed.
class TimerTest : public ::testing::Test {
 protected:
  TimerTest() {
    auto manual = std::make_unique<ManualTimer>([this](std::exception_ptr e) {
      try {
        std::rethrow_exception(e);
      } catch (const std::exception& x) {
        errors.push_back(x.what());
      }
    });
    ticks = manual.get();
    timer = std::make_unique<THMRGlobalTimer>(std::move(manual));
  }

  // Fires ticks 1..n, numbering them for the callbacks that record when they ran.
  void fireTicks(int n) {
    for (int i = 1; i <= n; ++i) {
      tickNumber = i;
      ticks->tick();
    }
  }

  TTimerCallback record(std::vector<int>& log) {
    return [this, &log](THMRGlobalTimer&) { log.push_back(tickNumber); };
  }

  std::vector<std::string> errors;
  ManualTimer* ticks = nullptr;
  std::unique_ptr<THMRGlobalTimer> timer;
  int tickNumber = 0;
};

TEST_F(TimerTest, RunsEveryFifteenSecondsFromConstruction) {
  EXPECT_EQ(ticks->intervalMs(), 15000);
  EXPECT_TRUE(ticks->enabled());
}

TEST_F(TimerTest, FiresOnTheTickThatUsesUpTheCount) {
  std::vector<int> at15, at16, at30, at300;
  timer->Add(record(at15), 15);
  timer->Add(record(at16), 16);
  timer->Add(record(at30), 30);
  timer->Add(record(at300), 300);
  fireTicks(25);
  EXPECT_EQ(at15, std::vector<int>{1});
  EXPECT_EQ(at16, std::vector<int>{2});
  EXPECT_EQ(at30, std::vector<int>{2});
  EXPECT_EQ(at300, std::vector<int>{20});  // one-shot: never again
}

TEST_F(TimerTest, ZeroOrNegativeCountNeverFiresUntilArmed) {
  std::vector<int> zero, negative;
  const int h0 = timer->Add(record(zero), 0);
  timer->Add(record(negative), -7);
  fireTicks(10);
  EXPECT_TRUE(zero.empty());
  EXPECT_TRUE(negative.empty());
  std::int32_t index;
  EXPECT_EQ(timer->ItemByHandle(h0, index)->SecondsLeft, -1);
  timer->SetSecondsForNextEvent(h0, 45);
  tickNumber = 0;
  for (int i = 11; i <= 14; ++i) {
    tickNumber = i;
    ticks->tick();
  }
  EXPECT_EQ(zero, std::vector<int>{13});
}

TEST_F(TimerTest, RearmingEveryTickKeepsItFromFiring) {
  std::vector<int> fired;
  const int h = timer->Add(record(fired), 30);
  for (int i = 1; i <= 40; ++i) {
    tickNumber = i;
    ticks->tick();
    timer->SetSecondsForNextEvent(h, 30);
  }
  EXPECT_TRUE(fired.empty());
  timer->SetSecondsForNextEvent(h, 0);
  fireTicks(5);
  EXPECT_TRUE(fired.empty());
}

TEST_F(TimerTest, CallbackRearmingItsOwnEventFiresAfterTheNewCount) {
  std::vector<int> fired;
  std::int32_t handle = 0;
  handle = timer->Add(
      [&](THMRGlobalTimer& sender) {
        fired.push_back(tickNumber);
        // Disarmed before the call; re-arming counts from the next tick.
        std::int32_t index;
        EXPECT_EQ(sender.ItemByHandle(handle, index)->SecondsLeft, -1);
        if (fired.size() < 3) sender.SetSecondsForNextEvent(handle, 30);
      },
      15);
  fireTicks(10);
  EXPECT_EQ(fired, (std::vector<int>{1, 3, 5}));
}

TEST_F(TimerTest, HandlesAreNeverReused) {
  const int first = timer->Add(nullptr, 0);
  timer->Delete(first);
  const int second = timer->Add(nullptr, 0);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 2);
  std::int32_t index = 99;
  EXPECT_EQ(timer->ItemByHandle(first, index), nullptr);
  EXPECT_EQ(index, -1);
  EXPECT_NE(timer->ItemByHandle(second, index), nullptr);
  EXPECT_EQ(index, 0);
}

TEST_F(TimerTest, UnknownHandlesAreIgnored) {
  std::vector<int> fired;
  const int h = timer->Add(record(fired), 15);
  timer->SetSecondsForNextEvent(h + 5, 100);
  timer->Delete(h + 5);
  timer->Delete(0);
  EXPECT_EQ(timer->eventCount(), 1u);
  timer->Delete(h);
  timer->SetSecondsForNextEvent(h, 15);  // deleted: ignored
  fireTicks(3);
  EXPECT_TRUE(fired.empty());
  EXPECT_EQ(timer->eventCount(), 0u);
}

TEST_F(TimerTest, ThrowingCallbackStopsTheTickAndTheLoopGoesOn) {
  std::vector<int> before, after;
  timer->Add(record(before), 15);
  const int failing = timer->Add([](THMRGlobalTimer&) { throw std::runtime_error("boom"); }, 15);
  const int later = timer->Add(record(after), 30);
  tickNumber = 1;
  EXPECT_TRUE(ticks->tick());  // the error stops at the loop's edge
  ASSERT_EQ(errors, std::vector<std::string>{"boom"});
  EXPECT_TRUE(ticks->enabled());
  std::int32_t index;
  EXPECT_EQ(timer->ItemByHandle(failing, index)->SecondsLeft, -1);
  // The event after the failure was not counted down on the failed tick.
  EXPECT_EQ(timer->ItemByHandle(later, index)->SecondsLeft, 30);
  fireTicks(2);
  EXPECT_EQ(before, std::vector<int>{1});
  EXPECT_EQ(after, std::vector<int>{2});
  EXPECT_EQ(errors.size(), 1u);
}

TEST_F(TimerTest, TimerIsDisabledDuringTheDispatch) {
  bool enabledInside = true;
  timer->Add([&](THMRGlobalTimer& t) { enabledInside = t.timer().enabled(); }, 15);
  ticks->tick();
  EXPECT_FALSE(enabledInside);
  EXPECT_TRUE(ticks->enabled());
}

TEST_F(TimerTest, EventsAddedByACallbackWaitForTheNextTick) {
  std::vector<int> added;
  timer->Add(
      [&](THMRGlobalTimer& t) { t.Add([&](THMRGlobalTimer&) { added.push_back(tickNumber); }, 15); },
      15);
  fireTicks(3);
  EXPECT_EQ(added, std::vector<int>{2});
}

TEST_F(TimerTest, DeletingDuringADispatchVisitsEveryOtherEventOnce) {
  std::vector<std::string> visits;
  std::int32_t a = 0, b = 0, c = 0;
  a = timer->Add(
      [&](THMRGlobalTimer& t) {
        visits.push_back("a");
        t.Delete(a);  // its own event
        t.Delete(b);  // one still to be visited on this tick
      },
      15);
  b = timer->Add([&](THMRGlobalTimer&) { visits.push_back("b"); }, 15);
  c = timer->Add([&](THMRGlobalTimer&) { visits.push_back("c"); }, 15);
  const std::int32_t d = timer->Add([&](THMRGlobalTimer& t) {
    visits.push_back("d");
    t.Delete(c);  // one already visited
  }, 15);
  ticks->tick();
  EXPECT_EQ(visits, (std::vector<std::string>{"a", "c", "d"}));
  EXPECT_EQ(timer->eventCount(), 1u);
  std::int32_t index;
  EXPECT_NE(timer->ItemByHandle(d, index), nullptr);
  EXPECT_EQ(index, 0);
}

// Logs what happens to it, and its destruction, into a shared log.
class LoggingTimer final : public PeriodicTimer {
 public:
  explicit LoggingTimer(std::vector<std::string>& log) : log_(log) {}
  ~LoggingTimer() override { log_.push_back("timer destroyed"); }
  void setCallback(Callback) override {}
  void setIntervalMs(int) override {}
  int intervalMs() const override { return 15000; }
  void setEnabled(bool on) override { log_.push_back(on ? "enabled" : "disabled"); }
  bool enabled() const override { return false; }

 private:
  std::vector<std::string>& log_;
};

TEST(TimerLifetime, DestructionStopsTheTimerBeforeFreeingEvents) {
  std::vector<std::string> log;
  struct LogsDestruction {
    explicit LogsDestruction(std::vector<std::string>& l) : log(l) {}
    ~LogsDestruction() { log.push_back("event destroyed"); }
    std::vector<std::string>& log;
  };
  {
    THMRGlobalTimer timer(std::make_unique<LoggingTimer>(log));
    auto witness = std::make_shared<LogsDestruction>(log);
    timer.Add([witness](THMRGlobalTimer&) {}, 15);
    witness.reset();
  }
  EXPECT_EQ(log, (std::vector<std::string>{"enabled", "disabled", "timer destroyed",
                                           "event destroyed"}));
}

// A periodic timer that remembers what its owner last said about its ticks.
class QuietSpyTimer final : public PeriodicTimer {
 public:
  explicit QuietSpyTimer(bool& quiet) : quiet_(quiet) {}
  void setCallback(Callback callback) override { callback_ = std::move(callback); }
  void setIntervalMs(int) override {}
  int intervalMs() const override { return 15000; }
  void setEnabled(bool) override {}
  bool enabled() const override { return true; }
  void setQuiet(bool quiet) override { quiet_ = quiet; }
  void tick() { callback_(); }

 private:
  bool& quiet_;
  Callback callback_;
};

TEST(TimerQuiet, TicksAreQuietExactlyWhileNoEventIsArmed) {
  bool quiet = false;
  auto spy = std::make_unique<QuietSpyTimer>(quiet);
  QuietSpyTimer& ticks = *spy;
  THMRGlobalTimer timer(std::move(spy));
  EXPECT_TRUE(quiet);  // no event yet
  const std::int32_t disarmed = timer.Add(nullptr, 0);
  EXPECT_TRUE(quiet);
  const std::int32_t armed = timer.Add(nullptr, 20);
  EXPECT_FALSE(quiet);
  ticks.tick();  // 5 s left
  EXPECT_FALSE(quiet);
  ticks.tick();  // runs out and disarms itself
  EXPECT_TRUE(quiet);
  timer.SetSecondsForNextEvent(disarmed, 300);
  EXPECT_FALSE(quiet);
  timer.SetSecondsForNextEvent(disarmed, 0);
  EXPECT_TRUE(quiet);
  timer.SetSecondsForNextEvent(armed, 60);
  EXPECT_FALSE(quiet);
  timer.Delete(armed);
  EXPECT_TRUE(quiet);
}

}  // namespace
}  // namespace hmr
