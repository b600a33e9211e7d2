// SPDX-License-Identifier: MIT
// The stand-in IDE following a real clock (what the tracker's C interface does for Lazarus).
#include <gtest/gtest.h>

#include <cmath>

#include "host/ide/StandInIde.h"
#include "platform/PeriodicTimer.h"
#include "tests/ide/IdeTestSupport.h"

namespace hmr::ide_test {
namespace {

using StandInIdeRealTimeTest = IdeFixture;

std::int64_t secondsAfter(TDateTime when, TDateTime start) {
  return static_cast<std::int64_t>(std::llround((when - start) * 86400));
}

TEST_F(StandInIdeRealTimeTest, CatchingUpFiresTheTimersAtTheirMarksOnTheWay) {
  const TDateTime start = at("2026-03-02T09:00:00");
  std::vector<std::int64_t> firedAt;
  auto timer = ide->createPeriodicTimer();
  timer->setIntervalMs(15000);
  timer->setCallback([&] { firedAt.push_back(secondsAfter(ide->virtualClock().now(), start)); });
  timer->setEnabled(true);
  // A tick a little late, then one that missed a mark: every mark fires, in order.
  ide->catchUpWith(start + 15.4 / 86400);
  EXPECT_EQ(firedAt, (std::vector<std::int64_t>{15}));
  ide->catchUpWith(start + 47.0 / 86400);
  EXPECT_EQ(firedAt, (std::vector<std::int64_t>{15, 30, 45}));
  EXPECT_EQ(secondsAfter(ide->virtualClock().now(), start), 47);
}

TEST_F(StandInIdeRealTimeTest, LessThanASecondChangesNothing) {
  const TDateTime start = at("2026-03-02T09:00:00");
  ide->catchUpWith(start + 0.9 / 86400);
  EXPECT_EQ(ide->virtualClock().now(), start);
  ide->catchUpWith(start - 0.9 / 86400);
  EXPECT_EQ(ide->virtualClock().now(), start);
}

TEST_F(StandInIdeRealTimeTest, AClockSetBackMovesTheIdeClockBackWithoutFiringTimers) {
  const TDateTime start = at("2026-03-02T09:00:00");
  int fired = 0;
  auto timer = ide->createPeriodicTimer();
  timer->setIntervalMs(15000);
  timer->setCallback([&] { ++fired; });
  timer->setEnabled(true);
  ide->catchUpWith(start + 20.0 / 86400);
  ASSERT_EQ(fired, 1);
  ide->catchUpWith(start - 3600.0 / 86400);  // daylight saving ends
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(secondsAfter(ide->virtualClock().now(), start), -3600);
  // Time goes on from there: the next mark is 30 seconds of time passed.
  ide->catchUpWith(start - 3590.0 / 86400);
  EXPECT_EQ(fired, 2);
}

}  // namespace
}  // namespace hmr::ide_test
