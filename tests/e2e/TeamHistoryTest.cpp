// SPDX-License-Identifier: MIT
// A team shares a project, its data file in git: two developers, each in a clone of their
// own, each with the stand-in IDE playing days under their own account, commit and pull with
// the real git, which merges Project.HMR with `hmr merge` and shows it with
// `hmr dump --textconv` as `hmr git-setup` taught it.
//
// The two accounts are two of the machine's own (daemon, bin, ...): each IDE runs in a user
// namespace that maps the account onto the one running the test, so the tracker reads that
// account's logon name while the files stay the test's own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "core/HMRFileIO.h"
#include "core/uHMRProject.h"
#include "core/uHMRTimer.h"
#include "platform/PeriodicTimer.h"
#include "platform/ScopedEnvironment.h"
#include "tests/e2e/EndToEndTest.h"
#include "tests/support/GitSupport.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;
using test_support::ProgramRun;
using test_support::runProgram;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

struct Account {
  std::string name;
  uid_t uid = 0;
  gid_t gid = 0;
};

// Two accounts of this machine other than the one running the test.
std::vector<Account> otherAccounts() {
  std::vector<Account> accounts;
  setpwent();
  while (const passwd* entry = getpwent()) {
    if (entry->pw_uid == geteuid() || !entry->pw_name || !*entry->pw_name) continue;
    accounts.push_back({entry->pw_name, entry->pw_uid, entry->pw_gid});
    if (accounts.size() == 2) break;
  }
  endpwent();
  return accounts;
}

// One developer: an account, a clone, a settings store and a home of their own.
struct Developer {
  Account account;
  std::string clone;
  std::string store;
  std::string home;
};

// A session as a line: its user, open and close, and whether it is closed.
std::vector<std::string> sessionsOf(const std::string& dataFile) {
  HmrFileContents contents;
  readHmrFile(dataFile, contents);
  std::vector<std::string> out;
  for (const auto& s : contents.sessions)
    out.push_back(s.SessionUserName.str() + " " + formatIsoDateTime(s.SessionDateTimeOpen) + " " +
                  formatIsoDateTime(s.SessionDateTimeClose) +
                  (s.SessionNotClosed ? " not closed" : ""));
  return out;
}

class TeamHistoryTest : public EndToEndTest {
 protected:
  void SetUp() override {
    if (test_support::findOnPath("git").empty()) GTEST_SKIP() << "git is not installed";
    unshare_ = test_support::findOnPath("unshare");
    const std::vector<Account> accounts = otherAccounts();
    if (unshare_.empty() || accounts.size() < 2) GTEST_SKIP() << "no second account to be";
    const ProgramRun probe = runProgram(unshare_, {"--user", mapUser(accounts[0]),
                                                   mapGroup(accounts[0]), "true"},
                                        scratch_.path());
    if (probe.status != 0) GTEST_SKIP() << "no user namespaces here: " << probe.err;

    origin_ = scratch_.path() + "/origin.git";
    ASSERT_EQ(git(scratch_.path(), {"init", "-q", "--bare", "-b", "main", origin_}).status, 0);
    for (std::size_t i = 0; i < 2; ++i) {
      Developer d;
      d.account = accounts[i];
      d.clone = scratch_.path() + "/" + d.account.name + "-clone";
      d.store = scratch_.path() + "/" + d.account.name + "-registry.db";
      d.home = scratch_.file(d.account.name + "-home/");
      installTracker(d);
      developers_.push_back(d);
    }
    ann_ = &developers_[0];
    bob_ = &developers_[1];

    // The first developer starts the repository with the project and one day of work.
    ASSERT_EQ(git(scratch_.path(), {"clone", "-q", origin_, ann_->clone}).status, 0);
    configure(*ann_);
    std::ofstream(ann_->clone + "/Project.dpr") << "program Project;\nbegin\nend.\n";
    const ProgramRun setup = runProgram(kHmr, {"git-setup", ann_->clone}, scratch_.path());
    ASSERT_EQ(setup.status, 0) << setup.err;
    workDay(*ann_, "2026-12-07", 60);
    commitAll(*ann_, "Project with its first day");
    ASSERT_EQ(git(ann_->clone, {"push", "-q", "origin", "main"}).status, 0);

    // The second one clones it; the attributes come with the clone, the driver's config is
    // set up once per clone.
    ASSERT_EQ(git(scratch_.path(), {"clone", "-q", origin_, bob_->clone}).status, 0);
    configure(*bob_);
    ASSERT_EQ(runProgram(kHmr, {"git-setup", bob_->clone}, scratch_.path()).status, 0);
  }

  static std::string mapUser(const Account& a) { return "--map-user=" + std::to_string(a.uid); }
  static std::string mapGroup(const Account& a) {
    return "--map-group=" + std::to_string(a.gid);
  }

  ProgramRun git(const std::string& folder, const std::vector<std::string>& args) {
    return test_support::git(folder, args, scratch_.path());
  }

  void configure(const Developer& d) {
    git(d.clone, {"config", "user.name", d.account.name});
    git(d.clone, {"config", "user.email", d.account.name + "@example.org"});
  }

  // The developer's own settings store and home for the IDE and its installer.
  struct Seat {
    ScopedEnvironment registry, home;
    explicit Seat(const Developer& d)
        : registry("HMR_REGISTRY", d.store.c_str()), home("HOME", d.home.c_str()) {}
  };

  void installTracker(const Developer& d) {
    Seat seat(d);
    ASSERT_EQ(runIdeAs(d, "").status, 0);  // the IDE's key appears
    ASSERT_EQ(runProgram(kBin + "/hmrsetup5", {}, scratch_.path()).status, 0);
  }

  ProgramRun runIdeAs(const Developer& d, const std::string& script) {
    Seat seat(d);
    const std::string file = scratch_.file(d.account.name + ".script");
    std::ofstream(file) << script;
    return runProgram(unshare_, {"--user", mapUser(d.account), mapGroup(d.account),
                                 kBin + "/hmr-ide", "--ide-version", "5", "--script", file},
                      scratch_.path());
  }

  // A day on the project from 09:00: an edit every minute for `minutes` minutes, then the
  // project is closed and its data file written.
  void workDay(const Developer& d, const std::string& date, int minutes) {
    const std::string project = d.clone + "/Project.dpr";
    std::string script = "clock " + date + "T09:00:00\nopen-project " + project + "\n";
    for (int m = 0; m < minutes; ++m) script += "advance 60\nedit " + project + "\n";
    script += "close-project " + project + "\n";
    const ProgramRun run = runIdeAs(d, script);
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.err, "");
  }

  void commitAll(const Developer& d, const std::string& message) {
    ASSERT_EQ(git(d.clone, {"add", "-A"}).status, 0);
    const ProgramRun run = git(d.clone, {"commit", "-q", "-m", message});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
  }

  // Changes the project's idle threshold as the tracker dialog does: open the data file,
  // set the value, save.
  static void setIdleThreshold(const Developer& d, std::int64_t seconds) {
    ScopedTimerGlobal timer(std::make_unique<ManualTimer>());
    THMRProject project;
    project.OpenFile(d.clone + "/Project.HMR");
    project.SetTimeForIdle(seconds);
    project.SaveFile(d.clone + "/Project.HMR");
  }

  std::string line(const Developer& d, const std::string& date, const std::string& close) {
    return d.account.name + " " + date + "T09:00:00 " + date + "T" + close;
  }

  // Both developers worked on 12-08 after the common first day; the first one pushed.
  void bothWorkedOnTheSecondDay() {
    workDay(*ann_, "2026-12-08", 30);
    commitAll(*ann_, "Second day of " + ann_->account.name);
    ASSERT_EQ(git(ann_->clone, {"push", "-q", "origin", "main"}).status, 0);
    workDay(*bob_, "2026-12-08", 45);
    commitAll(*bob_, "Second day of " + bob_->account.name);
  }

  // Every session of both, as a merge orders them: by open time, then by user name.
  std::vector<std::string> everySession() {
    std::vector<std::string> sessions = {line(*ann_, "2026-12-08", "09:30:00"),
                                         line(*bob_, "2026-12-08", "09:45:00")};
    if (bob_->account.name < ann_->account.name) std::swap(sessions[0], sessions[1]);
    sessions.insert(sessions.begin(), line(*ann_, "2026-12-07", "10:00:00"));
    return sessions;
  }

  std::string unshare_;
  std::string origin_;
  std::vector<Developer> developers_;
  Developer* ann_ = nullptr;
  Developer* bob_ = nullptr;
  test_support::GitEnvironment gitEnvironment_{scratch_.path()};
};

TEST_F(TeamHistoryTest, APullMergesBothDevelopersSessionsWithoutAConflict) {
  bothWorkedOnTheSecondDay();
  const ProgramRun pull = git(bob_->clone, {"pull", "--no-rebase", "--no-edit", "origin", "main"});
  ASSERT_EQ(pull.status, 0) << pull.out << pull.err;
  EXPECT_THAT(pull.out + pull.err, Not(HasSubstr("CONFLICT")));
  EXPECT_THAT(sessionsOf(bob_->clone + "/Project.HMR"),
              ElementsAreArray(everySession()));
  EXPECT_EQ(git(bob_->clone, {"status", "--porcelain"}).out, "");  // merged and committed

  // The tracker reads the merged file, and hmr dump shows both developers' work.
  const ProgramRun dump = runProgram(kHmr, {"dump", bob_->clone + "/Project.HMR"},
                                     scratch_.path());
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_THAT(dump.out, HasSubstr("\"user\": \"" + ann_->account.name + "\""));
  EXPECT_THAT(dump.out, HasSubstr("\"user\": \"" + bob_->account.name + "\""));

  // Pushed and pulled back, the first developer gets the same file.
  ASSERT_EQ(git(bob_->clone, {"push", "-q", "origin", "main"}).status, 0);
  ASSERT_EQ(git(ann_->clone, {"pull", "-q", "--no-rebase", "origin", "main"}).status, 0);
  EXPECT_EQ(testing::readBytes(ann_->clone + "/Project.HMR"),
            testing::readBytes(bob_->clone + "/Project.HMR"));
}

TEST_F(TeamHistoryTest, ARebaseMergesTheSessionsToo) {
  bothWorkedOnTheSecondDay();
  const ProgramRun pull = git(bob_->clone, {"pull", "--rebase", "origin", "main"});
  ASSERT_EQ(pull.status, 0) << pull.out << pull.err;
  EXPECT_THAT(sessionsOf(bob_->clone + "/Project.HMR"),
              ElementsAreArray(everySession()));
  // A straight line of commits: the second developer's day now sits on the first one's.
  EXPECT_EQ(git(bob_->clone, {"rev-list", "--count", "HEAD"}).out, "3\n");
  EXPECT_EQ(git(bob_->clone, {"status", "--porcelain"}).out, "");
}

TEST_F(TeamHistoryTest, ACherryPickMergesTheSessionsToo) {
  // The second developer works on a branch, then takes that day's commit onto main after
  // the first one's day came in.
  ASSERT_EQ(git(bob_->clone, {"checkout", "-q", "-b", "experiment"}).status, 0);
  workDay(*bob_, "2026-12-08", 45);
  commitAll(*bob_, "A day on the experiment");
  ASSERT_EQ(git(bob_->clone, {"checkout", "-q", "main"}).status, 0);
  workDay(*ann_, "2026-12-08", 30);
  commitAll(*ann_, "Second day");
  ASSERT_EQ(git(ann_->clone, {"push", "-q", "origin", "main"}).status, 0);
  ASSERT_EQ(git(bob_->clone, {"pull", "-q", "--ff-only", "origin", "main"}).status, 0);
  const ProgramRun pick = git(bob_->clone, {"cherry-pick", "experiment"});
  ASSERT_EQ(pick.status, 0) << pick.out << pick.err;
  EXPECT_THAT(sessionsOf(bob_->clone + "/Project.HMR"),
              ElementsAreArray(everySession()));
}

TEST_F(TeamHistoryTest, IdleThresholdsChangedDifferentlyKeepOursAndSaySo) {
  workDay(*ann_, "2026-12-08", 30);
  setIdleThreshold(*ann_, 600);
  commitAll(*ann_, "Ten minutes before idle");
  ASSERT_EQ(git(ann_->clone, {"push", "-q", "origin", "main"}).status, 0);
  workDay(*bob_, "2026-12-08", 45);
  setIdleThreshold(*bob_, 900);
  commitAll(*bob_, "Fifteen minutes before idle");

  const ProgramRun pull = git(bob_->clone, {"pull", "--no-rebase", "--no-edit", "origin", "main"});
  ASSERT_EQ(pull.status, 0) << pull.out << pull.err;
  EXPECT_THAT(pull.out + pull.err,
              HasSubstr("hmr merge: Project.HMR: The idle threshold was changed on both sides "
                        "(OURS 900 s, THEIRS 600 s, before 300 s): OURS's value is kept"));
  HmrFileContents merged;
  readHmrFile(bob_->clone + "/Project.HMR", merged);
  EXPECT_EQ(merged.timeForIdle, 900);
  EXPECT_THAT(sessionsOf(bob_->clone + "/Project.HMR"),
              ElementsAreArray(everySession()));
}

TEST_F(TeamHistoryTest, ADamagedSideIsAConflictThatLosesNothing) {
  // The first developer commits a damaged file (a byte flipped, as a bad copy would).
  workDay(*ann_, "2026-12-08", 30);
  std::string damaged = testing::readBytes(ann_->clone + "/Project.HMR");
  damaged[damaged.size() / 2] ^= 0x40;
  testing::writeBytes(ann_->clone + "/Project.HMR", damaged);
  commitAll(*ann_, "Damaged");
  ASSERT_EQ(git(ann_->clone, {"push", "-q", "origin", "main"}).status, 0);
  workDay(*bob_, "2026-12-08", 45);
  commitAll(*bob_, "Second day");
  const std::string ours = testing::readBytes(bob_->clone + "/Project.HMR");

  const ProgramRun pull = git(bob_->clone, {"pull", "--no-rebase", "--no-edit", "origin", "main"});
  EXPECT_NE(pull.status, 0);
  EXPECT_THAT(pull.out + pull.err, HasSubstr("CONFLICT (content): Merge conflict in Project.HMR"));
  EXPECT_THAT(pull.out + pull.err,
              HasSubstr("hmr merge: Project.HMR: Cannot merge: THEIRS does not read as an HMR "
                        "data file: Error reading HMR file .merge_file_"));
  EXPECT_THAT(pull.out + pull.err, HasSubstr("HMR file is corrupted"));
  // Our file stays as it was, and both sides are still there for the developer to choose.
  EXPECT_EQ(testing::readBytes(bob_->clone + "/Project.HMR"), ours);
  EXPECT_EQ(git(bob_->clone, {"show", ":2:Project.HMR"}).out, ours);
  EXPECT_EQ(git(bob_->clone, {"show", ":3:Project.HMR"}).out, damaged);
}

TEST_F(TeamHistoryTest, TheLogShowsSessionsAsReadableLines) {
  bothWorkedOnTheSecondDay();
  ASSERT_EQ(git(bob_->clone, {"pull", "-q", "--no-rebase", "--no-edit", "origin", "main"}).status,
            0);
  const ProgramRun log = git(bob_->clone, {"log", "-p", "--", "Project.HMR"});
  ASSERT_EQ(log.status, 0) << log.err;
  EXPECT_THAT(log.out, Not(HasSubstr("Binary files")));
  EXPECT_THAT(log.out, HasSubstr("+HMR data file version 2, project \"\"\n"
                                 "+idle threshold 300 s, minimum work time 60 s\n"
                                 "+2026-12-07T09:00:00 to 2026-12-07T10:00:00, work 1:00:00, "
                                 "idle 0:00:00, \"" + ann_->account.name + "\"\n"));
  EXPECT_THAT(log.out, HasSubstr("\n+2026-12-08T09:00:00 to 2026-12-08T09:45:00, work 0:45:00, "
                                 "idle 0:00:00, \"" + bob_->account.name + "\"\n"));
  // The day added by one commit is one added line; the first day stays a context line.
  const ProgramRun show = git(bob_->clone, {"show", "HEAD^2", "--", "Project.HMR"});
  EXPECT_THAT(show.out, HasSubstr("\n 2026-12-07T09:00:00 to 2026-12-07T10:00:00"));
  EXPECT_THAT(show.out, HasSubstr("\n+2026-12-08T09:00:00 to 2026-12-08T09:30:00"));
  EXPECT_THAT(git(bob_->clone, {"diff", "HEAD~1", "--", "Project.HMR"}).out,
              HasSubstr("\n+2026-12-08T09:00:00 to 2026-12-08T09:30:00"));
}

}  // namespace
}  // namespace hmr
