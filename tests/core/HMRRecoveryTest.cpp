// SPDX-License-Identifier: MIT
// Keeping every second between saves: checkpoints of running sessions into recovery files,
// merging them back, and histories whose save failed.
#include "core/HMRRecovery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <system_error>

#include "core/HMRFileIO.h"
#include "core/PathText.h"
#include "core/WindowlessTrackerUi.h"
#include "core/uHMRProjectGroup.h"
#include "platform/FileWriter.h"
#include "platform/HmrError.h"
#include "platform/LinuxFileWriter.h"
#include "platform/MemorySettingsStore.h"
#include "platform/UserFolders.h"
#include "tests/core/TrackerTestBase.h"
#include "tests/platform/FaultInjectingFileWriter.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;

// The real writer, counting the writes per file, failing with ENOSPC for the paths that
// `full` says are on a full disk.
class CountingWriter final : public FileWriter {
 public:
  void replaceContents(const std::string& path, std::string_view data) override {
    if (full && full(path)) throw std::system_error(ENOSPC, std::generic_category());
    ++writes[path];
    real_.replaceContents(path, data);
  }
  std::map<std::string, int> writes;
  std::function<bool(const std::string&)> full;

 private:
  LinuxFileWriter real_{false};
};

class ErrorsUi final : public WindowlessTrackerUi {
 public:
  void showError(const std::string& message) override { shown.push_back(message); }
  // A modal tracker dialog, during which `whileShown` runs (the timer goes on meanwhile).
  void showTrackerDialog(THMRProjectGroup& group, bool, const std::string&) override {
    if (whileShown) whileShown();
    group.OnDestroyDlg();
  }
  std::vector<std::string> shown;
  std::function<void()> whileShown;
};

class RecoveryTest : public TrackerTestBase {
 protected:
  std::string path(const std::string& name) const { return folder_.path() + "/" + name; }
  std::string recoveryOf(const std::string& project) const {
    return recoveryFileFor(changeFileExt(path(project), ".HMR"));
  }
  HmrFileContents read(const std::string& file) {
    HmrFileContents contents;
    readHmrFile(file, contents);
    return contents;
  }
  void work(THMRProject* p, int minutes) {
    for (int m = 0; m < minutes; ++m) {
      advance(60);
      p->ActivityDetected();
    }
  }

  hmr::testing::TempFolder folder_;
  CountingWriter writer_;
  ScopedFileWriter useWriter_{writer_};
  ErrorsUi ui_;
  MemorySettingsStore store_;
  THMRProjectGroup group_{&ui_, &store_};
};

TEST_F(RecoveryTest, RecoveryFilesAreNamedAfterTheDataFileAndKeepSameNamesApart) {
  const std::string a = recoveryFileFor(path("one/Demo.HMR"));
  const std::string b = recoveryFileFor(path("two/Demo.HMR"));
  EXPECT_NE(a, b);
  EXPECT_EQ(fs::path(a).parent_path(), fs::path(recoveryFolder()));
  EXPECT_EQ(fs::path(a).filename().string().substr(0, 5), "Demo-");
  EXPECT_EQ(fs::path(a).extension(), ".HMR");
  // The same file named through a relative path has the same recovery file.
  const fs::path previous = fs::current_path();
  fs::current_path(folder_.path());
  const std::string relative = recoveryFileFor("one/../one/Demo.HMR");
  fs::current_path(previous);
  EXPECT_EQ(relative, a);
}

TEST_F(RecoveryTest, MergingKeepsTheOrderAndNeverDuplicatesASession) {
  THMRProject kept;
  kept.AddSession(at(0), at(100), false, 0);
  kept.AddSession(at(1000), at(1100), true, 0);  // saved while running, at 1100
  std::vector<TSessionData> recovered;
  const auto session = [&](long long open, long long close, bool notClosed) {
    TSessionData s;
    s.SessionDateTimeOpen = at(open);
    s.SessionDateTimeClose = at(close);
    s.SessionNotClosed = notClosed;
    s.UpdateCalculatedFields();
    return s;
  };
  recovered.push_back(session(0, 50, false));     // older than the saved one: ignored
  recovered.push_back(session(500, 600, false));  // new: between the two
  recovered.push_back(session(1000, 1400, true)); // the running one, later: replaces
  recovered.push_back(session(2000, 2100, true)); // new: at the end
  mergeRecoveredSessions(kept.Sessions, std::move(recovered));
  ASSERT_EQ(kept.getSessionCount(), 4);
  EXPECT_EQ(kept.getSessionData(0)->SessionTotalTime, 100);
  EXPECT_EQ(kept.getSessionData(1)->SessionTotalTime, 100);
  EXPECT_EQ(secondsOf(kept.getSessionData(1)->SessionDateTimeOpen), 500);
  EXPECT_EQ(kept.getSessionData(2)->SessionTotalTime, 400);
  EXPECT_EQ(secondsOf(kept.getSessionData(3)->SessionDateTimeOpen), 2000);
}

// The running session reaches the recovery file at every interval while the project runs,
// brought up to that moment, worked on or idle; the data file beside the project is not
// touched until the project closes, and the close removes the recovery file.
TEST_F(RecoveryTest, CheckpointsAtEveryIntervalWhileTheProjectRuns) {
  THMRProject* p = group_.AddProject(path("Demo.dpr"), "Demo", true);
  const std::string recovery = recoveryOf("Demo.dpr");
  work(p, 5);
  ASSERT_TRUE(fs::exists(recovery));
  EXPECT_FALSE(fs::exists(path("Demo.HMR")));
  HmrFileContents checkpoint = read(recovery);
  ASSERT_EQ(checkpoint.sessions.size(), 1u);
  EXPECT_TRUE(checkpoint.sessions[0].SessionNotClosed);
  EXPECT_EQ(checkpoint.sessions[0].SessionWorkTime, 300);
  EXPECT_EQ(checkpoint.projectName, "Demo");
  // The last edit at 5 minutes; idle from there on. The turn to idle, at 10 minutes, is
  // checkpointed at the next tick: the checkpoint of 10 minutes counted 5 minutes since the
  // edit as work, which they no longer are.
  advance(315);
  EXPECT_EQ(writer_.writes[recovery], 3);
  checkpoint = read(recovery);
  EXPECT_EQ(checkpoint.sessions[0].SessionWorkTime, 300);
  EXPECT_EQ(checkpoint.sessions[0].SessionIdleTime, 315);
  // Every checkpoint brings the idle stretch up to its moment: the last one, at 65 minutes,
  // has 60 minutes of it.
  advance(3600 - 315);
  EXPECT_EQ(writer_.writes[recovery], 14);
  checkpoint = read(recovery);
  EXPECT_EQ(checkpoint.sessions[0].SessionTotalTime, 3900);
  EXPECT_EQ(checkpoint.sessions[0].SessionIdleTime, 3600);
  p->ActivityDetected();
  advance(300);
  EXPECT_EQ(writer_.writes[recovery], 15);
  EXPECT_EQ(writer_.writes.count(path("Demo.HMR")), 0u);

  group_.RemoveProject(path("Demo.dpr"));
  EXPECT_TRUE(fs::exists(path("Demo.HMR")));
  EXPECT_FALSE(fs::exists(recovery));
  EXPECT_TRUE(ui_.shown.empty());
}

// An idle stretch is checkpointed for its first day; then the heartbeat sleeps (so that a host
// on virtual time can pass over a long stretch) until activity wakes it, and the next
// checkpoint comes within the interval of that activity.
TEST_F(RecoveryTest, AnIdleStretchIsCheckpointedForItsFirstDay) {
  THMRProject* p = group_.AddProject(path("Demo.dpr"), "Demo", true);
  const std::string recovery = recoveryOf("Demo.dpr");
  work(p, 5);
  advance(3 * 86400);
  const int writes = writer_.writes[recovery];
  EXPECT_EQ(writes, 1 + 1 + 86400 / 300);  // the turn to idle has one of its own
  const HmrFileContents checkpoint = read(recovery);
  EXPECT_EQ(checkpoint.sessions[0].SessionWorkTime, 300);
  EXPECT_GE(checkpoint.sessions[0].SessionIdleTime, 86400 - 300);
  EXPECT_LE(checkpoint.sessions[0].SessionIdleTime, 86400);
  EXPECT_FALSE(p->NeedsCheckpoints());
  p->ActivityDetected();
  EXPECT_TRUE(p->NeedsCheckpoints());
  advance(300);
  EXPECT_EQ(writer_.writes[recovery], writes + 1);
  EXPECT_EQ(read(recovery).sessions[0].SessionTotalTime, 300 + 3 * 86400 + 300);
}

// A project that is not kept on disk (no folder) never keeps the heartbeat beating.
TEST_F(RecoveryTest, AProjectWithoutDataFileIsNotCheckpointed) {
  THMRProject* p = group_.AddProject("Loose.dpr", "Loose", true);
  work(p, 10);
  EXPECT_FALSE(p->NeedsCheckpoints());
  EXPECT_TRUE(writer_.writes.empty());
  EXPECT_TRUE(fs::is_empty(folder_.path()));
}

TEST_F(RecoveryTest, TheIntervalComesFromTheHostsKey) {
  store_.writeDword(HMRRootKey, group_.RegistryKey, "CheckpointInterval", 60);
  group_.ReadCheckpointInterval();
  EXPECT_EQ(group_.CheckpointInterval, 60);
  store_.writeDword(HMRRootKey, group_.RegistryKey, "CheckpointInterval", 1);
  group_.ReadCheckpointInterval();
  EXPECT_EQ(group_.CheckpointInterval, 15);  // never more often than the timer ticks
  THMRProject* p = group_.AddProject(path("Demo.dpr"), "Demo", true);
  work(p, 1);
  EXPECT_EQ(writer_.writes[recoveryOf("Demo.dpr")], 4);
  store_.writeString(HMRRootKey, group_.RegistryKey, "CheckpointInterval", "often");
  group_.ReadCheckpointInterval();
  EXPECT_EQ(group_.CheckpointInterval, 15);  // a damaged value changes nothing and is told
  EXPECT_EQ(ui_.shown.size(), 1u);
}

// An interval that is no multiple of the timer's 15 seconds: the rounds come at the last tick
// within it, so no more than the interval passes between two of them.
TEST_F(RecoveryTest, RoundsNeverLieFurtherApartThanTheInterval) {
  group_.CheckpointInterval = 100;
  THMRProject* p = group_.AddProject(path("Demo.dpr"), "Demo", true);
  work(p, 9);  // 540 s: rounds at 90, 180, ... 540
  EXPECT_EQ(writer_.writes[recoveryOf("Demo.dpr")], 6);
  EXPECT_EQ(read(recoveryOf("Demo.dpr")).sessions[0].SessionTotalTime, 540);
}

// What a crash leaves (a checkpoint and no data file) comes back when the project opens: the
// session "Not Closed" with its figures at the last checkpoint, once, and in the data file at
// the next close.
TEST_F(RecoveryTest, OpeningMergesWhatACrashLeft) {
  THMRProject* p = group_.AddProject(path("Demo.dpr"), "Demo", true);
  work(p, 7);  // checkpointed at 5 minutes
  const std::string recovery = recoveryOf("Demo.dpr");
  ASSERT_EQ(read(recovery).sessions.size(), 1u);
  const std::string crashed = recovery + ".copy";
  fs::copy_file(recovery, crashed);
  group_.RemoveProject(path("Demo.dpr"));
  fs::remove(path("Demo.HMR"));  // as if the close had never happened
  fs::rename(crashed, recovery);

  advance(3600);
  p = group_.AddProject(path("Demo.dpr"), "Demo", true);
  ASSERT_EQ(p->getSessionCount(), 2);
  const TSessionData& recovered = *p->getSessionData(0);
  EXPECT_TRUE(recovered.SessionNotClosed);
  EXPECT_EQ(recovered.SessionWorkTime, 300);
  // Opened again before its next close: still one recovered session, not two.
  work(p, 5);
  group_.RemoveProject(path("Demo.dpr"));
  EXPECT_FALSE(fs::exists(recovery));
  const HmrFileContents saved = read(path("Demo.HMR"));
  ASSERT_EQ(saved.sessions.size(), 2u);
  EXPECT_TRUE(saved.sessions[0].SessionNotClosed);
  EXPECT_EQ(saved.sessions[1].SessionWorkTime, 300);
}

// A crash while the session's work is still under the minimum work time: its checkpoint holds
// it, and it is not dropped for being short when it comes back, nor when the data file is
// read later: a session its host never closed has worked at least that long.
TEST_F(RecoveryTest, ACheckpointUnderTheMinimumStillBringsTheSessionBack) {
  group_.CheckpointInterval = 15;
  THMRProject* p = group_.AddProject(path("Demo.dpr"), "Demo", true);
  advance(30);
  p->ActivityDetected();
  const std::string recovery = recoveryOf("Demo.dpr");
  const HmrFileContents checkpoint = read(recovery);
  ASSERT_EQ(checkpoint.sessions.size(), 1u);
  EXPECT_EQ(checkpoint.sessions[0].SessionWorkTime, 30);
  const std::string crashed = recovery + ".copy";
  fs::copy_file(recovery, crashed);
  group_.RemoveProject(path("Demo.dpr"));
  fs::remove(path("Demo.HMR"));
  fs::rename(crashed, recovery);

  p = group_.AddProject(path("Demo.dpr"), "Demo", true);
  ASSERT_EQ(p->getSessionCount(), 2);
  EXPECT_EQ(p->getSessionData(0)->SessionWorkTime, 30);
  advance(30);  // a closed session that short is dropped as ever
  group_.RemoveProject(path("Demo.dpr"));
  EXPECT_FALSE(fs::exists(recovery));
  HmrFileContents saved = read(path("Demo.HMR"));
  ASSERT_EQ(saved.sessions.size(), 2u);
  dropShortSessions(saved);
  ASSERT_EQ(saved.sessions.size(), 1u);
  EXPECT_TRUE(saved.sessions[0].SessionNotClosed);
  p = group_.AddProject(path("Demo.dpr"), "Demo", false);  // from the data file alone
  ASSERT_EQ(p->getSessionCount(), 1);
  EXPECT_EQ(p->getSessionData(0)->SessionWorkTime, 30);
}

TEST_F(RecoveryTest, TheRecoveryFileFollowsARename) {
  THMRProject* p = group_.AddProject(path("Demo.dpr"), "Demo", true);
  work(p, 5);
  const std::string before = recoveryOf("Demo.dpr");
  ASSERT_TRUE(fs::exists(before));
  group_.RenameProject(path("Renamed.dpr"), path("Demo.dpr"));
  EXPECT_FALSE(fs::exists(before));
  EXPECT_TRUE(fs::exists(recoveryOf("Renamed.dpr")));
  group_.RemoveProject(path("Renamed.dpr"));
  EXPECT_FALSE(fs::exists(recoveryOf("Renamed.dpr")));
  EXPECT_TRUE(fs::exists(path("Renamed.HMR")));
}

// A full disk when the project closes: the history stays in the group and in the recovery
// file (the message says where), the host's repeated close changes nothing, and once there is
// room the next checkpoint round saves it.
TEST_F(RecoveryTest, AFailedSaveIsKeptToldAndRetried) {
  THMRProject* p = group_.AddProject(path("Demo.dpr"), "Demo", true);
  work(p, 10);
  writer_.full = [&](const std::string& file) { return file == path("Demo.HMR"); };
  try {
    group_.RemoveProject(path("Demo.dpr"));
    FAIL() << "the save must fail";
  } catch (const HmrError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Error saving HMR file " + path("Demo.HMR") + " : No space left on device\n" +
                  "The history is kept in " + recoveryOf("Demo.dpr") +
                  " and is added back when the project opens again.");
  }
  ASSERT_EQ(group_.getProjectCount(), 1);
  EXPECT_TRUE(p->HasUnsavedHistory());
  const HmrFileContents kept = read(recoveryOf("Demo.dpr"));
  ASSERT_EQ(kept.sessions.size(), 1u);
  EXPECT_FALSE(kept.sessions[0].SessionNotClosed);
  EXPECT_EQ(kept.sessions[0].SessionWorkTime, 600);

  group_.RemoveProject(path("Demo.dpr"));  // reported once already: nothing more
  advance(3 * DefaultCheckpointInterval);   // still full: told once, not at every round
  EXPECT_EQ(ui_.shown.size(), 1u);
  ASSERT_EQ(group_.getProjectCount(), 1);

  writer_.full = nullptr;
  advance(DefaultCheckpointInterval);
  EXPECT_EQ(group_.getProjectCount(), 0);
  EXPECT_EQ(read(path("Demo.HMR")).sessions.size(), 1u);
  EXPECT_FALSE(fs::exists(recoveryOf("Demo.dpr")));
}

// The dialog holds on to the group's projects while it shows: a retried save that succeeds
// under it keeps the project in the group until the dialog has closed.
TEST_F(RecoveryTest, ARetriedSaveLetsTheProjectGoOnlyAfterTheDialogClosed) {
  THMRProject* p = group_.AddProject(path("Demo.dpr"), "Demo", true);
  work(p, 10);
  writer_.full = [&](const std::string& file) { return file == path("Demo.HMR"); };
  EXPECT_THROW(group_.RemoveProject(path("Demo.dpr")), HmrError);
  writer_.full = nullptr;
  int countUnderDialog = -1;
  ui_.whileShown = [&] {
    advance(2 * DefaultCheckpointInterval);
    countUnderDialog = group_.getProjectCount();
  };
  group_.ShowDialog(true, "");
  EXPECT_EQ(countUnderDialog, 1);
  EXPECT_FALSE(fs::exists(path("Demo.HMR")));

  advance(DefaultCheckpointInterval);
  EXPECT_EQ(group_.getProjectCount(), 0);
  EXPECT_EQ(read(path("Demo.HMR")).sessions.size(), 1u);
}

// The same project opened again while its last history waits for a save: the new project
// takes that history back from the recovery file.
TEST_F(RecoveryTest, OpeningAgainTakesBackAnUnsavedHistory) {
  THMRProject* p = group_.AddProject(path("Demo.dpr"), "Demo", true);
  work(p, 10);
  writer_.full = [&](const std::string& file) { return file == path("Demo.HMR"); };
  EXPECT_THROW(group_.RemoveProject(path("Demo.dpr")), HmrError);
  advance(600);
  p = group_.AddProject(path("Demo.dpr"), "Demo", true);
  ASSERT_NE(p, nullptr);
  ASSERT_EQ(group_.getProjectCount(), 1);
  ASSERT_EQ(p->getSessionCount(), 2);
  EXPECT_EQ(p->getSessionData(0)->SessionWorkTime, 600);
  writer_.full = nullptr;
  work(p, 2);
  group_.RemoveProject(path("Demo.dpr"));
  EXPECT_EQ(read(path("Demo.HMR")).sessions.size(), 2u);
}

// A history that could be written nowhere stays in memory, and the message says so.
TEST_F(RecoveryTest, AHistoryWrittenNowhereStaysInMemory) {
  THMRProject* p = group_.AddProject(path("Demo.dpr"), "Demo", true);
  work(p, 3);
  writer_.full = [](const std::string&) { return true; };
  try {
    group_.RemoveProject(path("Demo.dpr"));
    FAIL() << "the save must fail";
  } catch (const HmrError& e) {
    EXPECT_NE(std::string(e.what()).find("The history is kept in memory only"),
              std::string::npos)
        << e.what();
  }
  // Not safe anywhere else: opening the project again must not drop it.
  EXPECT_EQ(group_.AddProject(path("Demo.dpr"), "Demo", true), nullptr);
  EXPECT_TRUE(group_.getProject(0)->HasUnsavedHistory());
}

TEST_F(RecoveryTest, AFailingCheckpointIsToldOncePerProjectAndRetried) {
  THMRProject* a = group_.AddProject(path("A.dpr"), "A", true);
  THMRProject* b = group_.AddProject(path("B.dpr"), "B", true);
  writer_.full = [](const std::string&) { return true; };
  for (int round = 0; round < 3; ++round) {
    work(a, 5);
    b->ActivityDetected();
  }
  EXPECT_EQ(ui_.shown.size(), 2u);  // one per project
  writer_.full = nullptr;
  work(a, 5);
  EXPECT_TRUE(fs::exists(recoveryOf("A.dpr")));
  writer_.full = [](const std::string&) { return true; };
  work(a, 5);
  EXPECT_EQ(ui_.shown.size(), 4u);  // both failed again after a success: each told again
}

// A file where the recovery folder should be: crash protection is off, said once and why (not
// as a failed save); tracking goes on, and once the folder can be made the checkpoints resume.
TEST_F(RecoveryTest, AnUnusableRecoveryFolderTurnsCrashProtectionOffOnce) {
  fs::create_directories(fs::path(recoveryFolder()).parent_path());
  std::ofstream(recoveryFolder()) << "not a folder";
  THMRProject* p = group_.AddProject(path("Demo.dpr"), "Demo", true);
  work(p, 30);
  ASSERT_EQ(ui_.shown.size(), 1u);
  EXPECT_EQ(ui_.shown[0], "Crash protection is off for project Demo: its recovery file " +
                              recoveryOf("Demo.dpr") + " cannot be written (" +
                              recoveryFolder() + " is not a folder). The project is still " +
                              "tracked and its data file " + path("Demo.HMR") +
                              " is saved when it closes.");
  EXPECT_EQ(p->State, hmOpen);
  fs::remove(recoveryFolder());
  work(p, 5);
  EXPECT_EQ(read(recoveryOf("Demo.dpr")).sessions[0].SessionWorkTime, 35 * 60);
  EXPECT_EQ(ui_.shown.size(), 1u);
  group_.RemoveProject(path("Demo.dpr"));
  EXPECT_EQ(read(path("Demo.HMR")).sessions[0].SessionWorkTime, 35 * 60);
}

// A damaged recovery file does not keep the project from being tracked.
TEST_F(RecoveryTest, ADamagedRecoveryFileIsToldAndTrackingGoesOn) {
  fs::create_directories(recoveryFolder());
  std::ofstream(recoveryOf("Demo.dpr"), std::ios::binary) << "damaged";
  THMRProject* p = group_.AddProject(path("Demo.dpr"), "Demo", true);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->State, hmOpen);
  ASSERT_EQ(ui_.shown.size(), 1u);
  EXPECT_NE(ui_.shown[0].find("HMR file is corrupted"), std::string::npos);
}

// Only the confirmation that the file reached the disk failed (flushing the folder after the
// rename, or closing it): the file holds the session, the project leaves the group, and the
// message says exactly that.
TEST_F(RecoveryTest, AnUnconfirmedSaveIsToldAsSuchAndTheProjectLeaves) {
  for (const bool atClose : {false, true}) {
    SCOPED_TRACE(atClose ? "closing the folder" : "flushing the folder");
    THMRProject* p = group_.AddProject(path("Demo.dpr"), "Demo", true);
    work(p, 2);
    FaultInjectingFileWriter disk;
    if (atClose) {
      disk.failFolderClose(EIO);
    } else {
      disk.failFolderSync(EIO);
    }
    ScopedFileWriter use(disk);
    try {
      group_.RemoveProject(path("Demo.dpr"));
      ADD_FAILURE() << "the warning must pass on";
    } catch (const HmrSaveNotConfirmed& e) {
      EXPECT_EQ(std::string(e.what()),
                "HMR file " + path("Demo.HMR") +
                    " was saved, but the system did not confirm that it reached the disk : "
                    "Input/output error");
    }
    EXPECT_EQ(group_.getProjectCount(), 0);
    EXPECT_EQ(read(path("Demo.HMR")).sessions.size(), atClose ? 2u : 1u);
  }
}

}  // namespace
}  // namespace hmr
