// SPDX-License-Identifier: MIT
#include "core/uHMRProject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>

#include "platform/HmrError.h"
#include "platform/VirtualTime.h"
#include "tests/core/TrackerTestBase.h"

namespace hmr {
namespace {

class ProjectTest : public TrackerTestBase {
 protected:
  TSessionData& last() { return *project.getSessionData(project.getSessionCount() - 1); }

  // A path without a folder: the data file is neither read nor written.
  THMRProject project;
};

TEST_F(ProjectTest, OpeningStartsARunningSession) {
  project.ProjectOpened("Demo.dpr", "Demo", true);
  EXPECT_EQ(project.State, hmOpen);
  EXPECT_EQ(project.FileName, "Demo.HMR");
  ASSERT_EQ(project.getSessionCount(), 1);
  EXPECT_EQ(last().SessionDateTimeOpen, start_);
  EXPECT_TRUE(last().SessionNotClosed);
  EXPECT_EQ(project.getSessionData(1), nullptr);
  EXPECT_EQ(project.getSessionData(-1), nullptr);
}

TEST_F(ProjectTest, DataFileNameReplacesOrAppendsTheExtension) {
  project.ProjectOpened("/work/my.app/Demo.dpr", "", false);
  EXPECT_EQ(project.FileName, "/work/my.app/Demo.HMR");
  EXPECT_EQ(project.GetHMRName(), "Demo");
  project.ProjectClosed();
  project.ProjectOpened("/work/my.app/Makefile", " \t", false);
  EXPECT_EQ(project.FileName, "/work/my.app/Makefile.HMR");
  EXPECT_EQ(project.GetHMRName(), "Makefile");
  project.ProjectName = "  Spaced  ";
  EXPECT_EQ(project.GetHMRName(), "  Spaced  ");
}

TEST_F(ProjectTest, OpeningAnOpenProjectFailsAndChangesNothing) {
  project.ProjectOpened("Demo.dpr", "Demo", true);
  advance(60);
  try {
    project.ProjectOpened("Other.dpr", "Other", true);
    FAIL() << "expected an error";
  } catch (const HmrError& e) {
    EXPECT_STREQ(e.what(), "Can not open an open project");
  }
  EXPECT_EQ(project.FileName, "Demo.HMR");
  EXPECT_EQ(project.ProjectName, "Demo");
  EXPECT_EQ(project.getSessionCount(), 1);
  EXPECT_EQ(project.State, hmOpen);
}

TEST_F(ProjectTest, NoActivityTurnsIdleBetween285And300Seconds) {
  advance(7);  // opened off a 15-second mark
  project.ProjectOpened("Demo.dpr", "Demo", true);
  advance(284);
  EXPECT_EQ(project.State, hmOpen);
  advance(14);
  EXPECT_EQ(project.State, hmIdle);
  // The countdown fired at the first mark after the threshold ran out: 300 s after opening
  // minus where in the cycle it was armed. The idle stretch starts one threshold before that.
  const std::int64_t idleFrom = project.IdleStart - ConvertDateTimeToSeconds(start_);
  EXPECT_LE(idleFrom, 7);
  EXPECT_GE(idleFrom, 7 - 15);
  advance(100);
  project.ProjectClosed();
}

TEST_F(ProjectTest, SessionWithoutActivityIsAllIdle) {
  project.ProjectOpened("Demo.dpr", "Demo", true);
  advance(600);
  EXPECT_EQ(project.State, hmIdle);
  project.UpdateProject(true);
  EXPECT_EQ(last().SessionTotalTime, 600);
  EXPECT_EQ(last().SessionIdleTime, 600);  // the start lies at or before the open: capped
  EXPECT_EQ(last().SessionWorkTime, 0);
}

TEST_F(ProjectTest, ActivityEveryMinuteNeverIdles) {
  project.ProjectOpened("Demo.dpr", "Demo", true);
  for (int minute = 1; minute <= 120; ++minute) {
    advance(60);
    project.ActivityDetected();
    ASSERT_EQ(project.State, hmOpen) << minute;
  }
  project.UpdateProject(false);
  EXPECT_EQ(last().SessionIdleTime, 0);
  EXPECT_EQ(last().SessionWorkTime, 7200);
  EXPECT_EQ(last().SessionWorkTime, last().SessionTotalTime);
}

TEST_F(ProjectTest, IdleGapIsCountedFromOneThresholdBeforeTheFiring) {
  project.ProjectOpened("Demo.dpr", "Demo", true);
  advance(65);
  project.ActivityDetected();  // armed at 65 s: fires at the mark 360 s
  advance(1000);
  project.ActivityDetected();
  EXPECT_EQ(project.State, hmOpen);
  // Idle from 360 - 300 = 60 s to 1065 s: the 1000-second gap and 5 seconds more.
  EXPECT_EQ(project.IdleTime, 1005);
  // A gap that ends before the countdown fires adds nothing.
  advance(290);
  project.ActivityDetected();
  EXPECT_EQ(project.IdleTime, 1005);
}

TEST_F(ProjectTest, UpdatingTwiceDuringOneIdleStretchCountsItOnce) {
  project.ProjectOpened("Demo.dpr", "Demo", true);
  advance(300);  // fires at 300: idle from 0
  ASSERT_EQ(project.State, hmIdle);
  advance(100);
  project.UpdateProject(false);
  EXPECT_EQ(last().SessionIdleTime, 400);
  project.UpdateProject(false);
  EXPECT_EQ(last().SessionIdleTime, 400);
  advance(50);
  project.UpdateProject(false);
  EXPECT_EQ(last().SessionIdleTime, 450);
  project.ActivityDetected();
  EXPECT_EQ(project.IdleTime, 450);
  advance(20);
  project.UpdateProject(false);
  EXPECT_EQ(last().SessionIdleTime, 450);
  EXPECT_EQ(last().SessionWorkTime, 20);
  EXPECT_TRUE(last().SessionNotClosed);
}

TEST_F(ProjectTest, ClosingWhileIdleCountsUpToTheClosingSecond) {
  project.ProjectOpened("Demo.dpr", "Demo", true);
  advance(120);
  project.ActivityDetected();
  advance(900);  // fires at 420: idle from 120
  project.UpdateProject(true);
  EXPECT_EQ(last().SessionIdleTime, 900);
  EXPECT_EQ(last().SessionTotalTime, 1020);
  EXPECT_EQ(last().SessionWorkTime, 120);
  EXPECT_FALSE(last().SessionNotClosed);
  EXPECT_EQ(project.DateTimeClose, at(1020));
}

TEST_F(ProjectTest, ClosingResetsTheProject) {
  project.ProjectOpened("Demo.dpr", "Demo", true);
  advance(120);
  project.ProjectClosed();
  EXPECT_EQ(project.State, hmClosed);
  EXPECT_EQ(project.getSessionCount(), 0);
  EXPECT_EQ(project.FileName, "");
  EXPECT_EQ(project.ProjectName, "");
  EXPECT_EQ(project.TotalTime, 0);
  // Closed projects ignore the countdown, activity and a rename.
  advance(600);
  project.ActivityDetected();
  project.ProjectRenamed("New.dpr");
  EXPECT_EQ(project.State, hmClosed);
  EXPECT_EQ(project.FileName, "");
}

TEST_F(ProjectTest, RenameKeepsTheSessionsUnderTheNewName) {
  project.ProjectOpened("/p/Demo.dpr", "Demo", true);
  advance(60);
  project.ProjectRenamed("/q/Renamed.dpr");
  EXPECT_EQ(project.FileName, "/q/Renamed.HMR");
  EXPECT_EQ(project.getSessionCount(), 1);
}

TEST_F(ProjectTest, MinimumWorkTimeBoundary) {
  const TDateTime t = start_;
  project.AddSession(t, t + 60.0 / 86400, false, 0);   // exactly the minimum: stays
  project.AddSession(t, t + 59.0 / 86400, false, 0);   // one second less: goes
  project.AddSession(t, t + 500.0 / 86400, false, 441);  // 59 s of work: goes
  project.AddSession(t, t + 500.0 / 86400, false, 440);  // 60 s of work: stays
  project.AddSession(t, t + 10.0 / 86400, true, 0);  // never closed: at least that: stays
  project.DeleteMinimumSessions(true);
  ASSERT_EQ(project.getSessionCount(), 3);
  EXPECT_TRUE(project.getSessionData(2)->SessionNotClosed);
  project.Sessions.pop_back();
  EXPECT_EQ(project.getSessionData(0)->SessionWorkTime, 60);
  EXPECT_EQ(project.getSessionData(1)->SessionIdleTime, 440);
  project.UpdatePrjHistData();
  EXPECT_EQ(project.TotalTime, 560);
  EXPECT_EQ(project.TotalIdleTime, 440);
  EXPECT_EQ(project.TotalWorkTime, 120);
}

TEST_F(ProjectTest, RaisingTheMinimumOnAnOpenProjectSparesTheRunningSession) {
  project.ProjectOpened("Demo.dpr", "Demo", true);
  project.AddSession(start_ - 1, start_ - 1 + 120.0 / 86400, false, 0);  // an older session
  std::swap(project.Sessions[0], project.Sessions[1]);  // the running one stays last
  advance(30);
  project.SetMinimumWorkTime(3600);
  ASSERT_EQ(project.getSessionCount(), 1);
  EXPECT_TRUE(last().SessionNotClosed);
  EXPECT_EQ(project.TotalTime, 0);
  // On a closed project the last session is not spared.
  THMRProject closed;
  closed.AddSession(start_, start_ + 120.0 / 86400, false, 0);
  closed.SetMinimumWorkTime(121);
  EXPECT_EQ(closed.getSessionCount(), 0);
}

TEST_F(ProjectTest, NewThresholdAppliesFromTheNextActivity) {
  project.ProjectOpened("Demo.dpr", "Demo", true);
  project.SetTimeForIdle(60);
  advance(285);
  EXPECT_EQ(project.State, hmOpen);  // the running countdown keeps its 300 seconds
  project.ActivityDetected();
  advance(60);
  EXPECT_EQ(project.State, hmIdle);
}

TEST_F(ProjectTest, ClockSetBackGivesZeroTimes) {
  TSessionData session;
  session.SessionIdleTime = 50;
  session.setSessionDateTimeOpen(at(1000));
  session.setSessionDateTimeClose(at(400));
  EXPECT_EQ(session.SessionTotalTime, 0);
  EXPECT_EQ(session.SessionIdleTime, 0);
  EXPECT_EQ(session.SessionWorkTime, 0);

  project.ProjectOpened("Demo.dpr", "Demo", true);
  clock_.set(at(-3600));
  project.UpdateProject(false);
  EXPECT_EQ(last().SessionTotalTime, 0);
  EXPECT_EQ(last().SessionWorkTime, 0);
}

// An hour of edits, then the threshold is raised from 5 to 60 minutes and a 10-minute break
// follows: the idle stretch starts at the last activity (the countdown that ran out was armed
// with 5 minutes), not 60 minutes before the countdown ran out.
TEST_F(ProjectTest, IdleFiguresAfterARaisedThreshold) {
  project.ProjectOpened("Demo.dpr", "Demo", true);
  for (int minute = 0; minute < 60; ++minute) {
    advance(60);
    project.ActivityDetected();
  }
  project.SetTimeForIdle(3600);
  advance(600);
  project.ActivityDetected();
  project.UpdateProject(false);
  EXPECT_EQ(last().SessionIdleTime, 600);
  EXPECT_EQ(last().SessionWorkTime, 3600);
  // The raised threshold applies from that activity on.
  advance(3585);
  EXPECT_EQ(project.State, hmOpen);
  advance(15);
  EXPECT_EQ(project.State, hmIdle);
}

// Virtual time of its own from `start` on, on the fixture's timer: for a test on a given day.
struct TimeFrom {
  TimeFrom(ManualTimer& ticks, TDateTime start) : clock(start), time(clock, ticks, start) {}
  VirtualClock clock;
  ScopedClock use{clock};
  VirtualTime time;
};

// Activity every minute for `minutes` minutes.
void workEveryMinute(THMRProject& project, int minutes,
                     const std::function<void(long long)>& pass) {
  for (int minute = 0; minute < minutes; ++minute) {
    pass(60);
    project.ActivityDetected();
  }
}

// The autumn change: at 03:00 summer time the clock goes back to 02:00. A session from 01:30
// to 02:30 (the second time) with an idle hour in the middle has lasted two hours exactly,
// and its start reads as the same instant on the winter clock.
TEST_F(ProjectTest, DaylightSavingFallBackKeepsTheTimeThatPassed) {
  TimeFrom day(*ticks_, encodeDateTime(2026, 10, 25, 1, 30, 0));
  const auto pass = [&](long long seconds) { day.time.advance(seconds); };
  project.ProjectOpened("Demo.dpr", "Demo", true);
  workEveryMinute(project, 20, pass);  // to 01:50
  pass(3600);                          // idle to 02:50
  project.ActivityDetected();
  workEveryMinute(project, 10, pass);  // to 03:00 summer time
  day.time.shiftClock(-3600);          // 02:00 winter time
  workEveryMinute(project, 30, pass);  // to 02:30
  project.UpdateProject(false);
  EXPECT_EQ(last().SessionTotalTime, 7200);
  EXPECT_EQ(last().SessionIdleTime, 3600);
  EXPECT_EQ(last().SessionWorkTime, 3600);
  EXPECT_EQ(formatIsoDateTime(last().SessionDateTimeOpen), "2026-10-25T00:30:00");
  EXPECT_EQ(formatIsoDateTime(last().SessionDateTimeClose), "2026-10-25T02:30:00");
}

// The spring change: at 02:00 the clock jumps to 03:00. An hour of work from 01:30 to 03:30
// on the clock is an hour of work.
TEST_F(ProjectTest, DaylightSavingSpringForwardAddsNoWork) {
  TimeFrom day(*ticks_, encodeDateTime(2026, 3, 29, 1, 30, 0));
  const auto pass = [&](long long seconds) { day.time.advance(seconds); };
  project.ProjectOpened("Demo.dpr", "Demo", true);
  workEveryMinute(project, 30, pass);  // to 02:00 winter time
  day.time.shiftClock(3600);           // 03:00 summer time
  workEveryMinute(project, 30, pass);  // to 03:30
  project.UpdateProject(false);
  EXPECT_EQ(last().SessionTotalTime, 3600);
  EXPECT_EQ(last().SessionWorkTime, 3600);
  EXPECT_EQ(formatIsoDateTime(last().SessionDateTimeOpen), "2026-03-29T02:30:00");
}

// Set back 10 minutes while worked on, with nothing reading the clock between the change and
// the next edit: edits at 0, 304 and 555 s, the clock set back at 765 s, an edit at 791 s.
// The session keeps the 791 seconds that passed, as without the change.
TEST_F(ProjectTest, AClockSetBackWhileWorkingLosesNoWork) {
  const auto play = [&](bool setBack) {
    advance(15 - elapsed() % 15);  // both runs open on a tick of the timer
    THMRProject p;
    p.ProjectOpened("Demo.dpr", "Demo", true);
    advance(304);
    p.ActivityDetected();
    advance(251);
    p.ActivityDetected();
    advance(210);
    if (setBack) time_->shiftClock(-600);
    advance(26);
    p.ActivityDetected();
    p.UpdateProject(false);
    const TSessionData& s = *p.getSessionData(0);
    return std::array<std::int64_t, 3>{s.SessionTotalTime, s.SessionIdleTime,
                                       s.SessionWorkTime};
  };
  const auto plain = play(false);
  EXPECT_EQ(plain[0], 791);
  EXPECT_EQ(play(true), plain);
}

// Set forward (a step of the network time) while worked on, and while idle: nothing of the
// jump is counted, neither as work nor as idle time.
TEST_F(ProjectTest, AClockSetForwardAddsNothing) {
  project.ProjectOpened("Demo.dpr", "Demo", true);
  workEveryMinute(project, 5, [&](long long s) { advance(s); });
  time_->shiftClock(2 * 3600);
  workEveryMinute(project, 5, [&](long long s) { advance(s); });
  project.UpdateProject(false);
  EXPECT_EQ(last().SessionTotalTime, 600);
  EXPECT_EQ(last().SessionWorkTime, 600);
  advance(1200);  // idle from 600 s on
  ASSERT_EQ(project.State, hmIdle);
  time_->shiftClock(5 * 3600);
  advance(600);
  project.ActivityDetected();
  project.UpdateProject(false);
  EXPECT_EQ(last().SessionTotalTime, 2400);
  EXPECT_EQ(last().SessionIdleTime, 1800);
  EXPECT_EQ(last().SessionWorkTime, 600);
}

// A machine that sleeps is time that passes (the host catches up with its timer's marks): the
// night is idle time, and work stays what was worked.
TEST_F(ProjectTest, ASuspendedNightIsIdleTime) {
  project.ProjectOpened("Demo.dpr", "Demo", true);
  workEveryMinute(project, 10, [&](long long s) { advance(s); });
  advance(9 * 3600);
  project.ActivityDetected();
  project.UpdateProject(false);
  EXPECT_EQ(last().SessionTotalTime, 600 + 9 * 3600);
  EXPECT_EQ(last().SessionWorkTime, 600);
}

// Before 1899 the date-time's fraction runs backwards: its readings are no clock set back.
TEST_F(ProjectTest, EarlyDatesAreNotTakenForAClockSetBack) {
  clock_.set(encodeDateTime(1, 1, 1, 0, 0, 0));
  project.ProjectOpened("Demo.dpr", "Demo", true);
  const TDateTime opened = project.DateTimeOpen;
  clock_.set(encodeDateTime(1, 1, 1, 0, 10, 0));
  project.UpdateProject(false);
  clock_.set(encodeDateTime(1, 1, 1, 0, 5, 0));
  project.UpdateProject(false);
  EXPECT_EQ(project.DateTimeOpen, opened);
}

// A clock set back near the scale's start keeps the open time at 1899-12-30 00:00.
TEST_F(ProjectTest, AClockSetBackToTheScalesStartStopsThere) {
  clock_.set(encodeDateTime(1899, 12, 30, 0, 5, 0));
  project.ProjectOpened("Demo.dpr", "Demo", true);
  advance(120);
  clock_.set(encodeDateTime(1899, 12, 30, 0, 1, 0));
  project.UpdateProject(false);
  EXPECT_EQ(last().SessionDateTimeOpen, 0.0);
  EXPECT_EQ(last().SessionTotalTime, 60);
}

// A clock set back while the project is idle: the idle time stays what passed.
TEST_F(ProjectTest, ClockSetBackWhileIdleNeverGivesNegativeIdle) {
  project.ProjectOpened("Demo.dpr", "Demo", true);
  advance(600);
  ASSERT_EQ(project.State, hmIdle);
  time_->shiftClock(-3600);
  advance(300);
  project.ActivityDetected();
  project.UpdateProject(false);
  EXPECT_EQ(last().SessionTotalTime, 900);
  EXPECT_EQ(last().SessionIdleTime, 900);  // no activity before now
  advance(600);
  ASSERT_EQ(project.State, hmIdle);
  time_->shiftClock(-7200);
  advance(60);
  project.ActivityDetected();
  project.UpdateProject(false);
  EXPECT_EQ(last().SessionTotalTime, 1560);
  EXPECT_EQ(last().SessionIdleTime, 1560);
  EXPECT_EQ(last().SessionWorkTime, 0);
  EXPECT_LE(last().SessionDateTimeOpen, last().SessionDateTimeClose);
}

TEST_F(ProjectTest, SessionDateSettersRecomputeOnlyOnChange) {
  TSessionData session;
  session.setSessionDateTimeClose(at(100));
  session.setSessionDateTimeOpen(at(40));
  EXPECT_EQ(session.SessionTotalTime, 60);
  session.SessionTotalTime = 7;  // an equal value must not recompute
  session.setSessionDateTimeOpen(at(40));
  EXPECT_EQ(session.SessionTotalTime, 7);
}

TEST_F(ProjectTest, UserNameReachesOnlyARunningSession) {
  project.SetCurrentUserName("ann");  // nothing to take it
  project.AddSession(start_, at(100), false, 0);
  project.SetCurrentUserName("ann");  // closed project: ignored
  EXPECT_EQ(last().SessionUserName, "");
  project.InitParams();
  project.ProjectOpened("Demo.dpr", "Demo", true);
  project.SetCurrentUserName("bob");
  EXPECT_EQ(last().SessionUserName, "bob");
}

TEST_F(ProjectTest, AutoSaveUpdatesOnlyAnOpenProject) {
  project.ProjectOpened("Demo.dpr", "Demo", true);
  advance(100);
  project.AutoSave();
  EXPECT_EQ(last().SessionDateTimeClose, at(100));
  EXPECT_TRUE(last().SessionNotClosed);
  advance(400);  // idle
  ASSERT_EQ(project.State, hmIdle);
  project.AutoSave();
  EXPECT_EQ(last().SessionDateTimeClose, at(100));
}

TEST_F(ProjectTest, DestructionReleasesTheCountdown) {
  const std::size_t before = TimerGlobal->eventCount();
  {
    THMRProject other;
    EXPECT_EQ(TimerGlobal->eventCount(), before + 1);
  }
  EXPECT_EQ(TimerGlobal->eventCount(), before);
}

}  // namespace
}  // namespace hmr
