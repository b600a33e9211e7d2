// SPDX-License-Identifier: MIT
// Two stand-in IDEs with one project open at the same time, as two IDE windows of one person
// or two people on a shared folder: the real programs, played in step through files that one
// makes and the other waits for. Every session of both ends in the data file: same user or
// different users, closing in either order, one crashing while the other closes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <string>
#include <vector>

#include "core/HMRFileIO.h"
#include "tests/e2e/EndToEndTest.h"
#include "tests/support/GitSupport.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;
using test_support::ProgramRun;
using test_support::runProgram;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A session as "user open-close" (times of day), with " not closed" when it is.
std::vector<std::string> sessionsOf(const std::string& dataFile) {
  HmrFileContents contents;
  readHmrFile(dataFile, contents);
  std::vector<std::string> out;
  for (const auto& s : contents.sessions)
    out.push_back(s.SessionUserName.str() + " " + formatIsoDateTime(s.SessionDateTimeOpen).substr(11) +
                  "-" + formatIsoDateTime(s.SessionDateTimeClose).substr(11) +
                  (s.SessionNotClosed ? " not closed" : ""));
  return out;
}

std::string logonName() {
  const passwd* entry = getpwuid(geteuid());
  return entry ? entry->pw_name : "";
}

// One IDE: whom it runs as, and its settings store and home (those of the test for the test's
// own user).
struct Seat {
  std::string name;  // the logon name the tracker reads
  std::vector<std::string> runAs;  // the program and arguments that start the IDE as this user
  std::string store, home;
};

class TwoIdesTest : public EndToEndTest {
 protected:
  void SetUp() override {
    me_ = {logonName(), {}, store_, scratch_.path()};
    ASSERT_EQ(runIde("").status, 0);  // the IDE's key appears
    ASSERT_EQ(runProgram(kBin + "/hmrsetup5", {}, scratch_.path()).status, 0);
    fs::create_directories(scratch_.path() + "/P");
  }

  // Another account of this machine, played in a user namespace that maps it onto the test's
  // own (its files stay the test's), with its own store and home; false when there is none.
  bool otherUser(Seat& seat) {
    const std::string unshare = test_support::findOnPath("unshare");
    if (unshare.empty()) return false;
    setpwent();
    const passwd* entry = nullptr;
    while ((entry = getpwent()) && (entry->pw_uid == geteuid() || !*entry->pw_name)) {
    }
    if (!entry) {
      endpwent();
      return false;
    }
    seat.name = entry->pw_name;
    seat.runAs = {unshare, "--user", "--map-user=" + std::to_string(entry->pw_uid),
                  "--map-group=" + std::to_string(entry->pw_gid)};
    endpwent();
    seat.home = scratch_.file(seat.name + "-home/");
    seat.store = scratch_.path() + "/" + seat.name + "-registry.db";
    if (start(seat, "", "probe").status != 0) return false;
    return runProgram("/usr/bin/env", {"HMR_REGISTRY=" + seat.store, "HOME=" + seat.home,
                                       kBin + "/hmrsetup5"},
                      scratch_.path())
               .status == 0;
  }

  // Runs the IDE of `seat` on `script`, its output in a folder of its own named `id`.
  ProgramRun start(const Seat& seat, const std::string& script, const std::string& id) {
    const std::string folder = scratch_.file(id + "/");
    const std::string file = folder + "/script";
    std::ofstream(file) << script;
    std::vector<std::string> args = {"--chdir=" + scratch_.path(), "HMR_REGISTRY=" + seat.store,
                                     "HOME=" + seat.home};
    args.insert(args.end(), seat.runAs.begin(), seat.runAs.end());
    for (const std::string& arg : {kBin + "/hmr-ide", std::string("--script"), file})
      args.push_back(arg);
    test_support::RunOptions options;
    options.limit = std::chrono::seconds(60);
    return runProgram("/usr/bin/env", args, folder, options);
  }

  // Plays both scripts at the same time; returns both runs.
  std::pair<ProgramRun, ProgramRun> together(const Seat& a, const std::string& scriptA,
                                             const Seat& b, const std::string& scriptB) {
    auto first = std::async(std::launch::async, [&] { return start(a, scriptA, "a"); });
    ProgramRun second = start(b, scriptB, "b");
    return {first.get(), second};
  }

  std::string step(const std::string& name) const { return scratch_.path() + "/" + name; }
  // Opens the project at `time`, works `minutes` minutes (an edit a minute).
  static std::string work(const std::string& time, int minutes) {
    std::string lines = "clock 2026-12-08T" + time + "\nopen-project P/P.dpr\n";
    for (int m = 0; m < minutes; ++m) lines += "advance 60\nedit P/P.dpr\n";
    return lines;
  }
  std::string signal(const std::string& name) const { return "signal " + step(name) + "\n"; }
  std::string waitFor(const std::string& name) const { return "wait-for " + step(name) + "\n"; }

  std::vector<std::string> recoveryFiles(const Seat& seat) const {
    std::vector<std::string> names;
    const fs::path folder = seat.home + "/.local/state/hmr";
    if (fs::exists(folder))
      for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
  }

  // Both IDEs open the project (A at 09:00, B at 09:10 while A runs), work, and close: A first
  // when `aFirst`, else B. Every session of both is in the data file.
  void bothClose(const Seat& a, const Seat& b, bool aFirst) {
    const std::string closeA = "close-project P/P.dpr\n";
    const std::string scriptA = work("09:00:00", 5) + signal("a-open") + waitFor("b-open") +
                                "advance 600\nedit P/P.dpr\n" +
                                (aFirst ? closeA + signal("a-closed")
                                        : waitFor("b-closed") + closeA);
    const std::string scriptB = waitFor("a-open") + work("09:10:00", 20) + signal("b-open") +
                                (aFirst ? waitFor("a-closed") + "close-project P/P.dpr\n"
                                        : "close-project P/P.dpr\n" + signal("b-closed"));
    const auto [runA, runB] = together(a, scriptA, b, scriptB);
    ASSERT_EQ(runA.status, 0) << runA.err;
    ASSERT_EQ(runB.status, 0) << runB.err;
    EXPECT_EQ(runA.err + runB.err, "");
    EXPECT_THAT(sessionsOf(scratch_.path() + "/P/P.HMR"),
                ElementsAre(a.name + " 09:00:00-09:15:00", b.name + " 09:10:00-09:30:00"));
    EXPECT_THAT(recoveryFiles(a), IsEmpty());
    EXPECT_THAT(recoveryFiles(b), IsEmpty());
  }

  Seat me_;
};

TEST_F(TwoIdesTest, SameUserBothClosingInEitherOrderKeepsBothSessions) {
  bothClose(me_, me_, true);
  fs::remove(scratch_.path() + "/P/P.HMR");
  for (const char* name : {"a-open", "b-open", "a-closed"}) fs::remove(step(name));
  bothClose(me_, me_, false);
}

TEST_F(TwoIdesTest, DifferentUsersBothClosingInEitherOrderKeepBothSessions) {
  Seat other;
  if (!otherUser(other)) GTEST_SKIP() << "no second account to be here";
  bothClose(me_, other, true);
  fs::remove(scratch_.path() + "/P/P.HMR");
  for (const char* name : {"a-open", "b-open", "a-closed"}) fs::remove(step(name));
  bothClose(other, me_, false);
}

// A crashes after its checkpoint while B runs; B closes (its own session only, A's recovery
// file left alone); the next start of the IDE recovers A's session as not closed.
TEST_F(TwoIdesTest, OneCrashingWhileTheOtherClosesLosesNeither) {
  const std::string scriptA =
      work("09:00:00", 22) + signal("a-open") + waitFor("b-open") + "crash\n";
  const std::string scriptB = waitFor("a-open") + work("09:30:00", 10) + signal("b-open") +
                              "advance 600\nclose-project P/P.dpr\n";
  const auto [runA, runB] = together(me_, scriptA, me_, scriptB);
  EXPECT_EQ(runA.status, -1);  // killed
  ASSERT_EQ(runB.status, 0) << runB.err;
  EXPECT_THAT(sessionsOf(scratch_.path() + "/P/P.HMR"),
              ElementsAre(me_.name + " 09:30:00-09:50:00"));
  ASSERT_EQ(recoveryFiles(me_).size(), 2u);  // A's recovery file and its owner lock file

  const ProgramRun next = start(me_, work("11:00:00", 5) + "close-project P/P.dpr\n", "c");
  ASSERT_EQ(next.status, 0) << next.err;
  EXPECT_EQ(next.err, "");
  EXPECT_THAT(sessionsOf(scratch_.path() + "/P/P.HMR"),
              ElementsAre(me_.name + " 09:00:00-09:20:00 not closed",
                          me_.name + " 09:30:00-09:50:00", me_.name + " 11:00:00-11:05:00"));
  EXPECT_THAT(recoveryFiles(me_), IsEmpty());
}

// Seeded interleavings of two IDEs on one project: when each opens, how long each works, which
// one ends first, whether one of them crashes, and whether they are one user or two. Every
// session of both is in the data file afterwards: a closed one as closed, a crashed one (after
// the next start of its user's IDE) as not closed, brought up to its last checkpoint.
TEST_F(TwoIdesTest, SeededInterleavingsKeepEverySession) {
  Seat other;
  const bool twoUsers = otherUser(other);
  constexpr unsigned kSeeds = 100;  // each plays two or three IDE processes, ~0.1 s
  for (unsigned seed = 1; seed <= kSeeds; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const auto pick = [&](int low, int high) {
      return std::uniform_int_distribution<int>(low, high)(random);
    };
    const Seat& a = me_;
    const Seat& b = twoUsers && pick(0, 1) ? other : me_;
    const int openA = pick(0, 9), minutesA = pick(6, 25);
    const int openB = 10 + pick(0, 9), minutesB = pick(6, 25);
    const bool aEndsFirst = pick(0, 1);
    const int crash = pick(0, 2);  // 0: none, 1: A crashes, 2: B crashes
    const std::string tag = std::to_string(seed);
    const auto at = [](int minutes) {
      char text[32];
      std::snprintf(text, sizeof text, "%02d:%02d:00", 9 + minutes / 60, minutes % 60);
      return std::string(text);
    };
    const auto end = [&](bool crashes) {
      return crashes ? std::string("crash\n") : std::string("close-project P/P.dpr\n");
    };
    const std::string first = aEndsFirst ? "a" : "b";
    const auto finish = [&](const std::string& self, bool crashes) {
      if (self != first) return waitFor(tag + first + "-ended") + end(crashes);
      // One that crashes first lets the other go on just before: both end at the same moment.
      return crashes ? signal(tag + first + "-ended") + end(true)
                     : end(false) + signal(tag + first + "-ended");
    };
    const std::string scriptA = work(at(openA), 1) + signal(tag + "a-open") +
                                waitFor(tag + "b-open") + "advance " +
                                std::to_string((minutesA - 1) * 60) + "\nedit P/P.dpr\n" +
                                finish("a", crash == 1);
    const std::string scriptB = waitFor(tag + "a-open") + work(at(openB), minutesB) +
                                signal(tag + "b-open") + finish("b", crash == 2);
    const auto [runA, runB] = together(a, scriptA, b, scriptB);
    EXPECT_EQ(runA.status, crash == 1 ? -1 : 0) << runA.err;
    EXPECT_EQ(runB.status, crash == 2 ? -1 : 0) << runB.err;
    if (crash != 0) {
      const ProgramRun next =
          start(crash == 1 ? a : b, work("12:00:00", 2) + "close-project P/P.dpr\n", "c");
      ASSERT_EQ(next.status, 0) << next.err;
    }
    // A closed session as it was closed; a crashed one as not closed, brought up to a
    // checkpoint between its open and its crash (the checkpoints' moments are the recovery
    // tests' concern). Sessions by open time.
    const auto expected = [&](const Seat& seat, int open, int minutes, bool crashed) {
      return seat.name + " " + at(open) + (crashed ? " not closed" : "-" + at(open + minutes));
    };
    std::vector<std::string> sessions = {expected(a, openA, minutesA, crash == 1),
                                         expected(b, openB, minutesB, crash == 2)};
    if (crash != 0) sessions.push_back((crash == 1 ? a : b).name + " 12:00:00-12:02:00");
    std::vector<std::string> saved = sessionsOf(scratch_.path() + "/P/P.HMR");
    for (std::string& line : saved) {
      if (!line.ends_with(" not closed")) continue;
      const std::string open = line.substr(line.find(' ') + 1, 8);
      const std::string close = line.substr(line.find('-') + 1, 8);
      const int planned = crash == 1 ? openA + minutesA : openB + minutesB;
      EXPECT_GT(close, open) << line;
      EXPECT_LE(close, at(planned)) << line;
      line = line.substr(0, line.find('-')) + " not closed";
    }
    EXPECT_EQ(saved, sessions);
    EXPECT_THAT(recoveryFiles(a), IsEmpty());
    EXPECT_THAT(recoveryFiles(b), IsEmpty());
    fs::remove(scratch_.path() + "/P/P.HMR");
  }
}

}  // namespace
}  // namespace hmr
