// SPDX-License-Identifier: MIT
// The stand-in IDE following a real clock (what the tracker's C interface does for Lazarus).
#include <gtest/gtest.h>

#include <cmath>

#include "core/uHMRProjectGroup.h"
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
  ide->time().catchUpWith(start + 15.4 / 86400);
  EXPECT_EQ(firedAt, (std::vector<std::int64_t>{15}));
  ide->time().catchUpWith(start + 47.0 / 86400);
  EXPECT_EQ(firedAt, (std::vector<std::int64_t>{15, 30, 45}));
  EXPECT_EQ(secondsAfter(ide->virtualClock().now(), start), 47);
}

TEST_F(StandInIdeRealTimeTest, LessThanASecondChangesNothing) {
  const TDateTime start = at("2026-03-02T09:00:00");
  ide->time().catchUpWith(start + 0.9 / 86400);
  EXPECT_EQ(ide->virtualClock().now(), start);
  ide->time().catchUpWith(start - 0.9 / 86400);
  EXPECT_EQ(ide->virtualClock().now(), start);
}

TEST_F(StandInIdeRealTimeTest, AClockSetBackMovesTheIdeClockBackWithoutFiringTimers) {
  const TDateTime start = at("2026-03-02T09:00:00");
  int fired = 0;
  auto timer = ide->createPeriodicTimer();
  timer->setIntervalMs(15000);
  timer->setCallback([&] { ++fired; });
  timer->setEnabled(true);
  ide->time().catchUpWith(start + 20.0 / 86400);
  ASSERT_EQ(fired, 1);
  ide->time().catchUpWith(start - 3600.0 / 86400);  // daylight saving ends
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(secondsAfter(ide->virtualClock().now(), start), -3600);
  // Time goes on from there: the next mark is 30 seconds of time passed.
  ide->time().catchUpWith(start - 3590.0 / 86400);
  EXPECT_EQ(fired, 2);
}

// The machine sleeps for eight hours with a project open, 30 seconds after the last edit. The
// first report after it wakes catches up through every mark: the idle countdown runs out where
// it would have, and the night is idle time, not work.
TEST_F(StandInIdeRealTimeTest, ANightOfSleepAfterAnEditIsIdleNotWork) {
  ASSERT_EQ(loadPackage().state, PackageState::Registered);
  const TDateTime start = at("2026-03-02T18:00:00");
  const std::string dpr = file("Night.dpr");
  ide->time().catchUpWith(start);
  ide->openProject(dpr);
  ide->time().catchUpWith(start + 600.0 / 86400);
  ide->edit(dpr);
  // Asleep from 18:10:30; the first tick after waking, at 02:10:30.
  ide->time().catchUpWith(start + (600.0 + 8 * 3600 + 30) / 86400);
  ide->edit(dpr);
  ide->time().catchUpWith(start + (600.0 + 8 * 3600 + 60) / 86400);
  THMRProject* night = project(dpr);
  ASSERT_NE(night, nullptr);
  night->UpdateProject(false);
  ASSERT_EQ(night->Sessions.size(), 1u);
  const TSessionData& session = *night->Sessions[0];
  EXPECT_EQ(session.SessionTotalTime, 600 + 8 * 3600 + 60);
  // Idle twice: the ten minutes before the first edit, and from the edit (the idle stretch
  // counts from one threshold before the tick that ends the countdown: up to one tick after
  // the edit) to the next edit after the night. Work: 30 seconds twice, up to one tick more.
  const std::int64_t asleep = 8 * 3600 + 30;
  EXPECT_GE(session.SessionIdleTime, 600 + asleep - 15);
  EXPECT_LE(session.SessionIdleTime, 600 + asleep);
  EXPECT_LE(session.SessionWorkTime, 60 + 15);
}

}  // namespace
}  // namespace hmr::ide_test
