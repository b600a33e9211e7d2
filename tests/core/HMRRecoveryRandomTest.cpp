// SPDX-License-Identifier: MIT
// Crashes at random moments of random working sessions, with and without clocks set forward
// and back: what the recovery file holds at the crash, merged back when the project opens
// again, loses at most one checkpoint interval of total and of work time against the same
// session closed normally at that moment; a clock shift changes no figure of the session.
// Hundreds of seeded cases on the virtual clock; each failing case names its seed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "core/HMRFileIO.h"
#include "core/HMRRecovery.h"
#include "core/WindowlessTrackerUi.h"
#include "core/uHMRProjectGroup.h"
#include "core/uHMRTimer.h"
#include "platform/Clock.h"
#include "platform/FileWriter.h"
#include "platform/MemorySettingsStore.h"
#include "platform/PeriodicTimer.h"
#include "platform/UserFolders.h"
#include "platform/VirtualTime.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WorkScript.h"

namespace hmr {
namespace {

using test_support::WorkScript;
using test_support::WorkStep;

constexpr int kCases = 100;

// Keeps what is written in memory, the last contents per file: a crash leaves exactly that.
class MemoryWriter final : public FileWriter {
 public:
  void replaceContents(const std::string& path, std::string_view data) override {
    files[path] = std::string(data);
  }
  std::map<std::string, std::string> files;
};

class ErrorsUi final : public WindowlessTrackerUi {
 public:
  void showError(const std::string& message) override { shown += message + "\n"; }
  std::string shown;
};

struct Figures {
  std::int64_t total = 0, idle = 0, work = 0;
  bool valid = false;  // 0 <= idle <= total, work = total - idle, open <= close
};

Figures figuresOf(const TSessionData& s) {
  Figures f{s.SessionTotalTime, s.SessionIdleTime, s.SessionWorkTime, false};
  f.valid = s.SessionIdleTime >= 0 && s.SessionIdleTime <= s.SessionTotalTime &&
            s.SessionWorkTime == s.SessionTotalTime - s.SessionIdleTime &&
            s.SessionDateTimeOpen <= s.SessionDateTimeClose;
  return f;
}

std::string describe(const Figures& f) {
  return "total " + std::to_string(f.total) + ", idle " + std::to_string(f.idle) + ", work " +
         std::to_string(f.work);
}

// What one play of a script up to its crash leaves.
struct Outcome {
  std::optional<Figures> recovered;  // the session merged back from the recovery file
  Figures closed;                    // the session a normal close at that moment writes
  std::string errors;                // what the tracker told the user meanwhile
};

// One tracker on virtual time from 2026-03-02 16:12, tracking project P with the given
// checkpoint interval; every file it writes stays in memory.
class VirtualTracker {
 public:
  explicit VirtualTracker(std::int64_t interval) {
    auto timer = std::make_unique<ManualTimer>();
    ticks_ = timer.get();
    timerGlobal_ = std::make_unique<ScopedTimerGlobal>(std::move(timer));
    time_ = std::make_unique<VirtualTime>(clock_, *ticks_, clock_.now());
    group_ = std::make_unique<THMRProjectGroup>(&ui_, &store_);
    group_->CheckpointInterval = interval;
  }
  ~VirtualTracker() {
    group_.reset();
    timerGlobal_.reset();
  }

  Outcome play(const WorkScript& script) {
    group_->AddProject(project_, "", true);
    for (std::size_t i = 0; i < script.crashAfter; ++i) {
      const WorkStep& step = script.steps[i];
      if (step.kind == WorkStep::Edit) group_->ActivityDetected(project_, false);
      if (step.kind == WorkStep::Advance) time_->advance(step.seconds);
      if (step.kind == WorkStep::ShiftClock) time_->shiftClock(step.seconds);
    }
    Outcome outcome;
    // The crash: what the recovery file holds now is all that a killed IDE leaves.
    const auto checkpoint = writer_.files.find(recoveryFileFor(dataFile_));
    const std::optional<std::string> left =
        checkpoint == writer_.files.end() ? std::nullopt
                                          : std::optional<std::string>(checkpoint->second);
    // The same moment without the crash: the project closes normally.
    group_->RemoveProject(project_);
    HmrFileContents saved;
    decodeHmrFile(writer_.files.at(dataFile_), saved);
    if (saved.sessions.size() == 1) outcome.closed = figuresOf(saved.sessions.back());
    // The next start after the crash: the data file as before the session (none), the
    // recovery file as the crash left it, merged when the project opens.
    if (left) {
      const std::string recovery = recoveryFileFor(dataFile_);
      std::filesystem::create_directories(recoveryFolder());
      testing::writeBytes(recovery, *left);
      THMRProjectGroup next(&ui_, &store_);
      THMRProject* reopened = next.AddProject(project_, "", false);
      if (reopened && reopened->getSessionCount() == 1)
        outcome.recovered = figuresOf(*reopened->getSessionData(0));
      std::filesystem::remove(recovery);
    }
    outcome.errors = ui_.shown;
    return outcome;
  }

 private:
  testing::TempFolder folder_;
  std::string project_ = folder_.path() + "/P.dpr";
  std::string dataFile_ = folder_.path() + "/P.HMR";
  ScopedRecoveryFolder recovery_{folder_.path() + "/state/hmr"};
  MemoryWriter writer_;
  ScopedFileWriter useWriter_{writer_};
  VirtualClock clock_{encodeDateTime(2026, 3, 2, 16, 12, 0)};
  ScopedClock useClock_{clock_};
  ManualTimer* ticks_ = nullptr;
  std::unique_ptr<ScopedTimerGlobal> timerGlobal_;
  std::unique_ptr<VirtualTime> time_;
  ErrorsUi ui_;
  MemorySettingsStore store_;
  std::unique_ptr<THMRProjectGroup> group_;
};

// The worst loss over the cases, how many lost more than the interval, and the most work a
// recovered session had beyond the normal close.
struct LossTally {
  std::int64_t worstTotal = 0, worstWork = 0, mostExtraWork = 0;
  std::uint32_t worstTotalSeed = 0, worstWorkSeed = 0;
  int overInterval = 0;

  void add(std::uint32_t seed, const Figures& closed, const Figures& recovered,
           std::int64_t interval) {
    const std::int64_t total = closed.total - recovered.total;
    const std::int64_t work = closed.work - recovered.work;
    if (total > worstTotal) worstTotal = total, worstTotalSeed = seed;
    if (work > worstWork) worstWork = work, worstWorkSeed = seed;
    mostExtraWork = std::max(mostExtraWork, -work);
    if (total > interval || work > interval) ++overInterval;
  }
  std::string report(std::int64_t interval, int cases) const {
    std::ostringstream text;
    text << "interval " << interval << " s, " << cases << " crashes: worst loss " << worstTotal
         << " s of total time (seed " << worstTotalSeed << "), " << worstWork
         << " s of work time (seed " << worstWorkSeed << "); " << overInterval
         << " lost more than the interval; at most " << mostExtraWork
         << " s of work more than the normal close";
    return text.str();
  }
};

// What the recovered session may hold and how it compares with the normal close at the crash.
// It is the session brought up to its last checkpoint, so its total is never more than the
// closed one's. Its work may be a little more: a checkpoint counts as work the time since the
// last edit, as a close at that moment would, until the idle countdown has run out and the
// idle stretch is counted from that edit; the turn to idle is checkpointed at the next tick,
// so a crash finds that overcount for at most one tick.
void expectSoundRecovery(const Figures& recovered, const Figures& closed) {
  EXPECT_TRUE(recovered.valid) << describe(recovered);
  EXPECT_LE(recovered.total, closed.total);
  EXPECT_LE(recovered.work - closed.work, THMRGlobalTimer::MasterInterval)
      << describe(recovered) << " against " << describe(closed);
}

class RandomCrashTest : public ::testing::TestWithParam<std::int64_t> {};

// A crash loses at most one checkpoint interval of the session's total and of its work time,
// never more than the session had, and what comes back is a sound session.
TEST_P(RandomCrashTest, LosesAtMostOneCheckpointInterval) {
  const std::int64_t interval = GetParam();
  LossTally tally;
  for (std::uint32_t seed = 1; seed <= kCases; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const WorkScript script = test_support::randomWorkScript(seed, {});
    const Outcome outcome = VirtualTracker(interval).play(script);
    ASSERT_TRUE(outcome.closed.valid) << describe(outcome.closed);
    EXPECT_EQ(outcome.errors, "");
    const Figures recovered = outcome.recovered.value_or(Figures{0, 0, 0, true});
    expectSoundRecovery(recovered, outcome.closed);
    tally.add(seed, outcome.closed, recovered, interval);
  }
  std::cout << "[ measured ] " << tally.report(interval, kCases) << "\n";
  EXPECT_LE(tally.worstTotal, interval) << tally.report(interval, kCases);
  EXPECT_LE(tally.worstWork, interval) << tally.report(interval, kCases);
}

INSTANTIATE_TEST_SUITE_P(Intervals, RandomCrashTest, ::testing::Values(15, 60, 300),
                         [](const auto& info) { return std::to_string(info.param) + "s"; });

class RandomClockShiftTest : public ::testing::TestWithParam<std::int64_t> {};

// Up to three shifts of the clock, forward and back by up to two hours, while the project is
// worked on or sits idle: the session closed at the crash has the figures of the same script
// without the shifts (one second of rounding aside), none of them is ever out of order, and
// the crash still loses at most one checkpoint interval.
TEST_P(RandomClockShiftTest, KeepsTheTimeThatPassed) {
  const std::int64_t interval = GetParam();
  LossTally tally;
  std::int64_t worstWorkShift = 0, worstTotalShift = 0;
  std::uint32_t worstShiftSeed = 0;
  for (std::uint32_t seed = 1; seed <= kCases; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const WorkScript shifted =
        test_support::randomWorkScript(seed, {.shifts = static_cast<int>(1 + seed % 3)});
    const Outcome outcome = VirtualTracker(interval).play(shifted);
    const Outcome plain = VirtualTracker(interval).play(shifted.withoutShifts());
    ASSERT_TRUE(outcome.closed.valid) << describe(outcome.closed);
    ASSERT_TRUE(plain.closed.valid) << describe(plain.closed);
    EXPECT_EQ(outcome.errors, "");
    const std::int64_t workShift = std::abs(outcome.closed.work - plain.closed.work);
    const std::int64_t totalShift = std::abs(outcome.closed.total - plain.closed.total);
    if (std::max(workShift, totalShift) > std::max(worstWorkShift, worstTotalShift))
      worstShiftSeed = seed;
    worstWorkShift = std::max(worstWorkShift, workShift);
    worstTotalShift = std::max(worstTotalShift, totalShift);
    EXPECT_LE(workShift, 1) << describe(outcome.closed) << " against " << describe(plain.closed);
    EXPECT_LE(totalShift, 1) << describe(outcome.closed) << " against "
                             << describe(plain.closed);
    const Figures recovered = outcome.recovered.value_or(Figures{0, 0, 0, true});
    expectSoundRecovery(recovered, outcome.closed);
    tally.add(seed, outcome.closed, recovered, interval);
  }
  std::cout << "[ measured ] shifted clocks, " << tally.report(interval, kCases)
            << "; largest difference from the unshifted run " << worstWorkShift << " s of work, "
            << worstTotalShift << " s of total time (seed " << worstShiftSeed << ")\n";
  EXPECT_LE(tally.worstTotal, interval) << tally.report(interval, kCases);
  EXPECT_LE(tally.worstWork, interval) << tally.report(interval, kCases);
}

INSTANTIATE_TEST_SUITE_P(Intervals, RandomClockShiftTest, ::testing::Values(15, 60, 300),
                         [](const auto& info) { return std::to_string(info.param) + "s"; });

}  // namespace
}  // namespace hmr
