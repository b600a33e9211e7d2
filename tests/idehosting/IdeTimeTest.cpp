// SPDX-License-Identifier: MIT
// The IDE host's time: its periodic timers on the virtual clock, and the one real-time driver
// (what the Lazarus bridge and hmr-ide --gui follow the system clock with).
#include "idehosting/IdeTime.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <vector>

#include "core/HMRFileFormat.h"
#include "core/uHMRProjectGroup.h"
#include "ide/uHMWizard.h"
#include "idehosting/IdeActionError.h"
#include "platform/PeriodicTimer.h"
#include "tests/idehosting/IdeHostTestSupport.h"

namespace hmr::idehosting_test {
namespace {

using IdeTimeTest = HostFixture;

// A periodic timer of the host every 15 s that records when it fired, in seconds after start.
struct RecordingTimer {
  RecordingTimer(IdeHost& host, TDateTime start) : timer(host.createPeriodicTimer()) {
    timer->setIntervalMs(15000);
    timer->setCallback([&host, this, start] {
      firedAt.push_back(secondsAfter(host.time().clock().now(), start));
    });
    timer->setEnabled(true);
  }
  std::unique_ptr<PeriodicTimer> timer;
  std::vector<std::int64_t> firedAt;
};

TEST_F(IdeTimeTest, ThePeriodicTimerFiresAtEveryMarkWithTheClockReadingIt) {
  RecordingTimer timer(*host, start);
  host->time().advance(40);
  EXPECT_EQ(timer.firedAt, (std::vector<std::int64_t>{15, 30}));
  host->time().advance(20);  // up to and including 60
  EXPECT_EQ(timer.firedAt, (std::vector<std::int64_t>{15, 30, 45, 60}));
  timer.timer->setEnabled(false);
  host->time().advance(30);
  EXPECT_EQ(timer.firedAt.size(), 4u);
  EXPECT_EQ(ConvertDateTimeToSeconds(host->clock().now()),
            ConvertDateTimeToSeconds(at("2026-03-02T09:01:30")));
}

TEST_F(IdeTimeTest, TheClockCanBeSetOnlyBeforeTimePasses) {
  host->time().setClock(at("2026-04-01T10:00:00"));
  EXPECT_EQ(host->clock().now(), at("2026-04-01T10:00:00"));
  host->time().advance(1);
  EXPECT_THROW(host->time().setClock(at("2026-04-01T10:00:00")), IdeActionError);
}

TEST_F(IdeTimeTest, AQuietTimerIsPassedOverAndResumesOnItsOwnMarks) {
  RecordingTimer timer(*host, start);
  timer.timer->setQuiet(true);
  host->time().advance(200'000'000'000);  // 6,300 years: 13 billion ticks, were they fired
  EXPECT_TRUE(timer.firedAt.empty());
  timer.timer->setQuiet(false);
  host->time().advance(40);
  EXPECT_EQ(timer.firedAt, (std::vector<std::int64_t>{200'000'000'010, 200'000'000'025,
                                                      200'000'000'040}));
}

TEST_F(IdeTimeTest, TimeStaysWithinTheYearsADataFileHolds) {
  IdeTime& time = host->time();
  EXPECT_THROW(time.setClock(encodeDateTime(0, 12, 31, 23, 59, 59)), IdeActionError);
  EXPECT_THROW(time.setClock(encodeDateTime(1899, 12, 29, 23, 59, 59)), IdeActionError);
  EXPECT_THROW(time.setClock(encodeDateTime(10000, 1, 1, 0, 0, 0)), IdeActionError);
  time.setClock(at("9999-12-31T23:59:00"));
  time.advance(59);
  const TDateTime last = time.clock().now();
  EXPECT_THROW(time.advance(1), IdeActionError);
  EXPECT_THROW(time.advance(std::numeric_limits<std::int64_t>::max()), IdeActionError);
  EXPECT_THROW(time.shiftClock(1), IdeActionError);
  EXPECT_EQ(time.clock().now(), last);  // a refused advance or shift changes nothing
  EXPECT_EQ(formatIsoDateTime(last), "9999-12-31T23:59:59");
}

TEST_F(IdeTimeTest, ATimerErrorIsShownAndTheTimerKeepsRunning) {
  int ticks = 0;
  auto timer = host->createPeriodicTimer();
  timer->setIntervalMs(15000);
  timer->setCallback([&] {
    ++ticks;
    throw std::runtime_error("tick failed");
  });
  timer->setEnabled(true);
  host->time().advance(30);
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(host->errorsShown(), (std::vector<std::string>{"tick failed", "tick failed"}));
}

// ---- real time ----------------------------------------------------------------------------

TEST_F(IdeTimeTest, CatchingUpFiresTheTimersAtTheirMarksOnTheWay) {
  RecordingTimer timer(*host, start);
  // A tick a little late, then one that missed a mark: every mark fires, in order.
  host->time().catchUpWith(start + 15.4 / 86400);
  EXPECT_EQ(timer.firedAt, (std::vector<std::int64_t>{15}));
  host->time().catchUpWith(start + 47.0 / 86400);
  EXPECT_EQ(timer.firedAt, (std::vector<std::int64_t>{15, 30, 45}));
  EXPECT_EQ(secondsAfter(host->clock().now(), start), 47);
}

TEST_F(IdeTimeTest, LessThanASecondChangesNothing) {
  host->time().catchUpWith(start + 0.9 / 86400);
  EXPECT_EQ(host->clock().now(), start);
  host->time().catchUpWith(start - 0.9 / 86400);
  EXPECT_EQ(host->clock().now(), start);
}

TEST_F(IdeTimeTest, AClockSetBackMovesTheIdeClockBackWithoutFiringTimers) {
  RecordingTimer timer(*host, start);
  host->time().catchUpWith(start + 20.0 / 86400);
  ASSERT_EQ(timer.firedAt.size(), 1u);
  host->time().catchUpWith(start - 3600.0 / 86400);  // daylight saving ends
  EXPECT_EQ(timer.firedAt.size(), 1u);
  EXPECT_EQ(secondsAfter(host->clock().now(), start), -3600);
  // Time goes on from there: the next mark is 30 seconds of time passed.
  host->time().catchUpWith(start - 3590.0 / 86400);
  EXPECT_EQ(timer.firedAt.size(), 2u);
}

// Following a real clock, the host catches up at once and before every action, so the timers
// have fired at every mark passed when the action's notices go out.
TEST_F(IdeTimeTest, FollowingARealClockTheHostCatchesUpBeforeEveryAction) {
  VirtualClock real(start + 20.0 / 86400);
  RecordingTimer timer(*host, start);
  EXPECT_FALSE(host->time().inRealTime());
  host->time().followRealClock(real);
  EXPECT_TRUE(host->time().inRealTime());
  EXPECT_EQ(timer.firedAt, (std::vector<std::int64_t>{15}));
  real.advanceSeconds(40);
  host->openProject(file("one.dpr"));
  EXPECT_EQ(timer.firedAt, (std::vector<std::int64_t>{15, 30, 45, 60}));
  EXPECT_EQ(host->clock().now(), real.now());
  real.advanceSeconds(15);
  host->catchUp();  // the event loop's tick
  EXPECT_EQ(timer.firedAt.back(), 75);
}

// The machine sleeps for eight hours with a project open, 30 seconds after the last edit. The
// first report after it wakes catches up through every mark: the idle countdown runs out where
// it would have, and the night is idle time, not work.
TEST_F(IdeTimeTest, ANightOfSleepAfterAnEditIsIdleNotWork) {
  ASSERT_EQ(loadPackage().state, PackageState::Registered);
  const TDateTime evening = at("2026-03-02T18:00:00");
  const std::string dpr = file("Night.dpr");
  host->time().catchUpWith(evening);
  host->openProject(dpr);
  host->time().catchUpWith(evening + 600.0 / 86400);
  host->edit(dpr);
  // Asleep from 18:10:30; the first tick after waking, at 02:10:30.
  host->time().catchUpWith(evening + (600.0 + 8 * 3600 + 30) / 86400);
  host->edit(dpr);
  host->time().catchUpWith(evening + (600.0 + 8 * 3600 + 60) / 86400);
  auto* wizard = static_cast<THMWizard*>(host->packages().front()->wizards.at(0).get());
  THMRProjectGroup& group = *wizard->projectGroup();
  THMRProject* night = group.getProject(group.IndexOf(dpr));
  ASSERT_NE(night, nullptr);
  night->UpdateProject(false);
  ASSERT_EQ(night->Sessions.size(), 1u);
  const TSessionData& session = night->Sessions[0];
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
}  // namespace hmr::idehosting_test
