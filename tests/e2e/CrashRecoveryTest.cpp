// SPDX-License-Identifier: MIT
// No tracked time lost to a crash of the IDE or to a full disk: the real stand-in IDE with the
// real package, killed in the middle of a day, and closing a project on a file system that is
// full.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core/HMRFileIO.h"
#include "platform/LinuxFileWriter.h"
#include "platform/SqliteSettingsStore.h"
#include "tests/e2e/EndToEndTest.h"
#include "tests/support/WorkScript.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class CrashRecoveryTest : public EndToEndTest {
 protected:
  // A process id that no longer runs: a child that has ended and been reaped.
  static pid_t deadPid() {
    const pid_t pid = fork();
    if (pid == 0) _exit(0);
    int status = 0;
    waitpid(pid, &status, 0);
    return pid;
  }

  void SetUp() override {
    ASSERT_EQ(runIde("").status, 0);  // the IDE's key appears
    ASSERT_EQ(test_support::runProgram(kBin + "/hmrsetup5", {}, scratch_.path()).status, 0);
  }

  // The recovery files: $XDG_STATE_HOME is unset, so they go below the scratch home.
  std::vector<std::string> recoveryFiles() const {
    std::vector<std::string> names;
    const fs::path folder = scratch_.path() + "/.local/state/hmr";
    if (!fs::exists(folder)) return names;
    for (const auto& entry : fs::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // Edits the project once a minute for `minutes` minutes.
  static std::string editEveryMinute(const std::string& file, int minutes) {
    std::string lines;
    for (int m = 0; m < minutes; ++m) lines += "advance 60\nedit " + file + "\n";
    return lines;
  }

  void setCheckpointInterval(std::uint32_t seconds) {
    SqliteSettingsStore(store_).writeDword(kHKLM, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5",
                                           "CheckpointInterval", seconds);
  }

  // The sessions of a data file as written, none dropped.
  static std::vector<Figures> sessionsIn(const std::string& path) {
    HmrFileContents contents;
    readHmrFile(path, contents);
    std::vector<Figures> figures;
    for (const auto& s : contents.sessions)
      figures.push_back({s.SessionTotalTime, s.SessionIdleTime, s.SessionWorkTime});
    return figures;
  }

  // Plays `lines` on project `folder`/P.dpr opened at 16:12, then crashes or closes it. After
  // a crash, the next start opens and closes the project: the data file then holds the
  // recovered session first. Returns that session, or the closed one.
  std::optional<Figures> play(const std::string& folder, const std::string& lines, bool crash) {
    fs::create_directories(scratch_.path() + "/" + folder);
    const std::string project = folder + "/P.dpr";
    const auto run = runIde("clock 2026-03-02T16:12:00\nopen-project " + project + "\n" + lines +
                            (crash ? "crash\n" : "close-project " + project + "\n"));
    EXPECT_EQ(run.status, crash ? -1 : 0) << run.err;
    EXPECT_EQ(run.err, "");
    if (crash) {
      const auto next = runIde("clock 2026-03-03T09:00:00\nopen-project " + project +
                               "\nclose-project " + project + "\n");
      EXPECT_EQ(next.status, 0) << next.err;
    }
    const std::string data = scratch_.path() + "/" + folder + "/P.HMR";
    if (!fs::exists(data)) return std::nullopt;
    const std::vector<Figures> sessions = sessionsIn(data);
    if (sessions.size() != (crash ? 2u : 1u)) return std::nullopt;
    return sessions.front();
  }
};

std::string describe(const Figures& f) {
  return "total " + std::to_string(f.total) + ", idle " + std::to_string(f.idle) + ", work " +
         std::to_string(f.work);
}

// Edits at 0, 160 and 434 s, then nothing until a crash at 680 s: the checkpoint at 600 s
// holds the session as it stood then (it used to hold it as of 300 s, the last checkpoint
// with a change). Closed normally at 680 s it has 680 s of work.
TEST_F(CrashRecoveryTest, ACheckpointBringsTheSessionUpToItsMoment) {
  const auto lines = [](const std::string& folder) {
    const std::string edit = "edit " + folder + "/P.dpr\n";
    return edit + "advance 160\n" + edit + "advance 274\n" + edit + "advance 246\n";
  };
  const std::optional<Figures> recovered = play("P", lines("P"), true);
  const std::optional<Figures> closed = play("Q", lines("Q"), false);
  ASSERT_TRUE(recovered && closed);
  EXPECT_EQ(closed->work, 680);
  EXPECT_EQ(recovered->total, 600);
  EXPECT_EQ(recovered->work, 600);
}

// Edits at 0, 304 and 555 s, the clock set back 10 minutes at 765 s, an edit at 791 s and the
// close: the same session as without the change.
TEST_F(CrashRecoveryTest, AClockSetBackWhileWorkingChangesNoFigure) {
  const auto script = [](const std::string& folder, bool setBack) {
    const std::string edit = "edit " + folder + "/P.dpr\n";
    return edit + "advance 304\n" + edit + "advance 251\n" + edit + "advance 210\n" +
           (setBack ? "shift-clock -600\n" : "") + "advance 26\n" + edit;
  };
  const std::optional<Figures> shifted = play("S", script("S", true), false);
  const std::optional<Figures> plain = play("U", script("U", false), false);
  ASSERT_TRUE(shifted && plain);
  EXPECT_EQ(plain->total, 791);
  EXPECT_EQ(plain->work, 487);
  EXPECT_EQ(describe(*shifted), describe(*plain));
}

// A few of the random sessions of the core's test, played by the real IDE and package with
// the interval set in the settings store, killed and started again; with clocks shifted.
TEST_F(CrashRecoveryTest, RandomCrashesLoseAtMostOneInterval) {
  for (const std::uint32_t interval : {15u, 60u, 300u}) {
    setCheckpointInterval(interval);
    for (std::uint32_t seed = interval; seed <= interval + 1; ++seed) {
      SCOPED_TRACE("interval " + std::to_string(interval) + ", seed " + std::to_string(seed));
      const test_support::WorkScript script =
          test_support::randomWorkScript(seed, {.span = 1200, .shifts = 2});
      const std::string id = std::to_string(interval) + "-" + std::to_string(seed);
      const auto lines = [&](const test_support::WorkScript& s, const std::string& folder) {
        return test_support::ideScriptLines(s, folder + "/P.dpr");
      };
      const std::optional<Figures> recovered = play("C" + id, lines(script, "C" + id), true);
      const std::optional<Figures> closed = play("N" + id, lines(script, "N" + id), false);
      const std::optional<Figures> plain =
          play("U" + id, lines(script.withoutShifts(), "U" + id), false);
      ASSERT_TRUE(closed && plain);
      EXPECT_EQ(describe(*closed), describe(*plain));  // the shifts changed nothing
      const Figures back = recovered.value_or(Figures{0, 0, 0});
      EXPECT_GE(back.total, closed->total - static_cast<std::int64_t>(interval));
      EXPECT_GE(back.work, closed->work - static_cast<std::int64_t>(interval));
      EXPECT_LE(back.total, closed->total);
      EXPECT_LE(back.work, closed->work + 15);  // at most one tick of work the close would not
    }
  }
}

// Killed at 09:22 after 22 minutes of work: the next start finds the session, "Not Closed",
// brought up to date at the last checkpoint (09:20), and its close puts it in the data file.
TEST_F(CrashRecoveryTest, AKilledIdeLosesAtMostOneCheckpointInterval) {
  fs::create_directories(scratch_.path() + "/Crash");
  const auto killed = runIde("clock 2026-12-08T09:00:00\n"
                             "open-project Crash/Crash.dpr\n" +
                             editEveryMinute("Crash/Crash.dpr", 22) + "crash\n");
  EXPECT_EQ(killed.status, -1);  // it did not end by itself
  EXPECT_FALSE(fs::exists(scratch_.path() + "/Crash/Crash.HMR"));  // only closing writes it
  // Its recovery file, named with its owner (the process id and a random tag), and the owner
  // lock file that the killed process held: its lock went with the process.
  const std::vector<std::string> recovery = recoveryFiles();
  ASSERT_EQ(recovery.size(), 2u);
  const std::string owner = "([0-9]+-[0-9a-f]{8})";
  EXPECT_THAT(recovery[0], ::testing::MatchesRegex("Crash-[0-9a-f]{16}\\." + owner + "\\.HMR"));
  EXPECT_THAT(recovery[1], ::testing::MatchesRegex("tracker-" + owner + "\\.lock"));
  const std::size_t ownerAt = std::string("Crash-0123456789abcdef.").size();
  EXPECT_EQ(recovery[0].substr(ownerAt, recovery[0].size() - ownerAt - 4),
            recovery[1].substr(8, recovery[1].size() - 8 - 5));

  const auto next = runIde("clock 2026-12-08T10:00:00\n"
                           "open-project Crash/Crash.dpr\n"
                           "menu \"Project Revedazl\"\n" +
                           editEveryMinute("Crash/Crash.dpr", 5) +
                           "close-project Crash/Crash.dpr\n");
  ASSERT_EQ(next.status, 0) << next.err;
  EXPECT_EQ(next.err, "");
  EXPECT_THAT(next.out, HasSubstr("Not Closed"));  // the dialog shows the recovered session
  EXPECT_TRUE(recoveryFiles().empty());            // the close saved it: nothing left behind

  HmrFileContents saved;
  readHmrFile(scratch_.path() + "/Crash/Crash.HMR", saved);
  ASSERT_EQ(saved.sessions.size(), 2u);
  const TSessionData& crashed = saved.sessions[0];
  EXPECT_TRUE(crashed.SessionNotClosed);
  EXPECT_EQ(formatIsoDateTime(crashed.SessionDateTimeOpen), "2026-12-08T09:00:00");
  EXPECT_EQ(formatIsoDateTime(crashed.SessionDateTimeClose), "2026-12-08T09:20:00");
  EXPECT_EQ(crashed.SessionWorkTime, 1200);  // 22 minutes worked, 2 lost to the crash
  const TSessionData& today = saved.sessions[1];
  EXPECT_FALSE(today.SessionNotClosed);
  EXPECT_EQ(today.SessionWorkTime, 300);
}

// A recovery folder that cannot be used: the IDE says once, for the project, that crash
// protection is off and why (not the message of a failed save), tracks on and saves the
// data file when the project closes.
TEST_F(CrashRecoveryTest, AnUnusableRecoveryFolderTurnsCrashProtectionOffOnce) {
  const std::string recoveryFolder = scratch_.path() + "/.local/state/hmr";
  fs::create_directories(scratch_.path() + "/.local/state");
  std::ofstream(recoveryFolder) << "a file where the recovery folder should be";
  fs::create_directories(scratch_.path() + "/P");
  const auto run = runIde("clock 2026-03-02T16:12:00\nopen-project P/P.dpr\n" +
                          editEveryMinute("P/P.dpr", 30) + "close-project P/P.dpr\n");
  ASSERT_EQ(run.status, 0) << run.err;
  // The recovery file's name: the data file's name, a hash of its path and the owner.
  const std::size_t name = run.err.find("/P-") + 1;
  const std::string recoveryName = run.err.substr(name, run.err.find(' ', name) - name);
  EXPECT_THAT(recoveryName,
              ::testing::MatchesRegex("P-[0-9a-f]{16}\\.[0-9]+-[0-9a-f]{8}\\.HMR"));
  EXPECT_EQ(run.err, "Crash protection is off for project P: its recovery file " +
                         recoveryFolder + "/" + recoveryName + " cannot be written (" +
                         recoveryFolder +
                         " is not a folder). The project is still tracked and its data file "
                         "P/P.HMR is saved when it closes.\n");
  const std::vector<Figures> saved = sessionsIn(scratch_.path() + "/P/P.HMR");
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].total, 1800);
  EXPECT_EQ(saved[0].work, 1800);
}

// The same for a recovery folder the user may not write: another user's (the test plays that
// user when it runs as root), else one without write permission.
TEST_F(CrashRecoveryTest, ARecoveryFolderWithoutPermissionTurnsCrashProtectionOffOnce) {
  const std::string recoveryFolder = scratch_.path() + "/.local/state/hmr";
  fs::create_directories(recoveryFolder);
  fs::create_directories(scratch_.path() + "/P");
  test_support::RunOptions options;
  if (test_support::otherAccount(options.user, options.group)) {
    // Everything but the recovery folder is open to that user.
    for (const std::string& path : {scratch_.path(), scratch_.path() + "/P", store_})
      fs::permissions(path, fs::perms::all);
    fs::permissions(recoveryFolder, fs::perms::owner_all | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
  } else {
    fs::permissions(recoveryFolder, fs::perms::owner_read | fs::perms::owner_exec);
  }
  const auto run = runIde("clock 2026-03-02T16:12:00\nopen-project P/P.dpr\n" +
                              editEveryMinute("P/P.dpr", 30) + "close-project P/P.dpr\n",
                          "5", options);
  fs::permissions(recoveryFolder, fs::perms::owner_all);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, ::testing::StartsWith("Crash protection is off for project P: "));
  EXPECT_THAT(run.err, HasSubstr("(the folder " + recoveryFolder +
                                 " cannot be written: Permission denied)"));
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_THAT(run.err, ::testing::Not(HasSubstr("Error saving")));
  const std::vector<Figures> saved = sessionsIn(scratch_.path() + "/P/P.HMR");
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].work, 1800);
}

// Saves killed half way (a data file beside the projects, a recovery file) leave their
// temporary copies. Opening any project of that folder in the IDE removes them, and those in
// the recovery folder; files that are not the tracker's, and the copies of a save still
// running, stay.
TEST_F(CrashRecoveryTest, LeftoversOfKilledSavesGoWhenAProjectOfTheFolderOpens) {
  const std::string folder = scratch_.path() + "/Shared";
  const std::string recovery = scratch_.path() + "/.local/state/hmr";
  fs::create_directories(folder);
  fs::create_directories(recovery);
  // Real leftovers: writers killed in the middle of saving a large file.
  const auto leftovers = [](const std::string& where) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(where))
      if (entry.path().filename().string().find(".tmp-") != std::string::npos)
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::string big(8 << 20, 'b');
  for (const std::string& target :
       {folder + "/Other.HMR", recovery + "/Other-0123456789abcdef.HMR"}) {
    for (int attempt = 0; attempt < 200 && leftovers(fs::path(target).parent_path()).empty();
         ++attempt) {
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        for (;;) LinuxFileWriter(false).replaceContents(target, big);
      }
      usleep(static_cast<useconds_t>(2000 + attempt * 500));
      kill(pid, SIGKILL);
      int status = 0;
      waitpid(pid, &status, 0);
    }
  }
  ASSERT_FALSE(leftovers(folder).empty());
  ASSERT_FALSE(leftovers(recovery).empty());
  const std::string running = ".Other.HMR.tmp-" + std::to_string(getpid()) + "-abc123";
  const std::string notOurs = ".notes.txt.tmp-" + std::to_string(deadPid()) + "-abc123";
  for (const std::string& name : {running, notOurs}) std::ofstream(folder + "/" + name) << "x";

  const auto run = runIde("open-project Shared/P.dpr\nclose-project Shared/P.dpr\n");
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> left = leftovers(folder);
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{running, notOurs}));
  EXPECT_TRUE(leftovers(recovery).empty());
}

// A project closed on a full file system: the save fails and says where the history is kept;
// once there is room again, the next run of the IDE saves it with the day's new session.
TEST_F(CrashRecoveryTest, AFullDiskOnCloseLosesNoSession) {
  const std::string small = scratch_.path() + "/small";
  fs::create_directories(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
  struct Unmount {
    std::string path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{small};
  fs::create_directories(small + "/P");
  {
    std::ofstream filler(small + "/filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), block.size())) {
    }
  }
  const auto full = runIde("clock 2026-12-08T09:00:00\n"
                           "open-project small/P/P.dpr\n" +
                           editEveryMinute("small/P/P.dpr", 10) + "close-project small/P/P.dpr\n");
  EXPECT_THAT(full.err, HasSubstr("Error saving HMR file"));
  EXPECT_THAT(full.err, HasSubstr("No space left on device"));
  EXPECT_THAT(full.err, HasSubstr("The history is kept in " + scratch_.path() +
                                  "/.local/state/hmr/P-"));
  EXPECT_FALSE(fs::exists(small + "/P/P.HMR"));

  fs::remove(small + "/filler");
  const auto freed = runIde("clock 2026-12-08T13:00:00\n"
                            "open-project small/P/P.dpr\n" +
                            editEveryMinute("small/P/P.dpr", 3) +
                            "close-project small/P/P.dpr\n");
  ASSERT_EQ(freed.status, 0) << freed.err;
  EXPECT_EQ(freed.err, "");
  HmrFileContents saved;
  readHmrFile(small + "/P/P.HMR", saved);
  ASSERT_EQ(saved.sessions.size(), 2u);
  EXPECT_FALSE(saved.sessions[0].SessionNotClosed);  // it was closed; only its save failed
  EXPECT_EQ(saved.sessions[0].SessionWorkTime, 600);
  EXPECT_EQ(saved.sessions[1].SessionWorkTime, 180);
  EXPECT_TRUE(recoveryFiles().empty());
}

}  // namespace
}  // namespace hmr
