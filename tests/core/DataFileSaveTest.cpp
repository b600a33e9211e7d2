// SPDX-License-Identifier: MIT
// The save of a data file that other trackers write too: the file on disk merged with what a
// tracker holds under the lock beside it, and left as it was when it does not read or another
// program keeps the lock.
#include "core/DataFileSave.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "core/HMRFileFormat.h"
#include "core/HMRFileIO.h"
#include "core/uHMRGlobal.h"
#include "platform/FileLock.h"
#include "tests/support/Sessions.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

using test_support::makeSession;
using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const TDateTime kMonday = encodeDateTime(2026, 12, 7, 9, 0, 0);

// One tracker's view of a project: its history and the data file as it last read or wrote it.
struct Tracker {
  std::int64_t idle = 300, minimum = 60;
  std::string name = "Demo";
  std::vector<TSessionData> sessions;
  DataFileBase base;
  std::optional<MergedHistory> merged;

  // Reads the data file as a project does when it opens.
  void open(const std::string& path) {
    HmrFileContents contents;
    std::string image;
    readHmrFile(path, contents, &image);
    sessions = std::move(contents.sessions);
    idle = contents.timeForIdle.value_or(idle);
    minimum = contents.minimumWorkTime.value_or(minimum);
    base = {path, std::move(image)};
  }
  Tracker& add(int hour, std::string user, int minutes = 30) {
    sessions.push_back(makeSession(kMonday + hour / 24.0, minutes * 60, 0, false, user));
    return *this;
  }
  void save(const std::string& path) {
    saveDataFile(path, {idle, minimum, name, sessions}, base, {"this IDE", "the file on disk"},
                 merged);
    // What was written is the new base, so the tracker holds it from now on, as a project does.
    if (!merged) return;
    sessions.clear();
    for (const auto& s : merged->sessions) sessions.push_back(s);
  }
};

// A session as "hour:minute user length".
std::vector<std::string> sessionsIn(const std::string& path) {
  HmrFileContents contents;
  readHmrFile(path, contents);
  std::vector<std::string> lines;
  for (const auto& s : contents.sessions)
    lines.push_back(formatIsoDateTime(s.SessionDateTimeOpen).substr(11, 5) + " " +
                    s.SessionUserName.str() + " " + std::to_string(s.SessionTotalTime));
  return lines;
}

class DataFileSaveTest : public ::testing::Test {
 protected:
  void SetUp() override { previousWait_ = setDataFileLockWait(std::chrono::milliseconds(200)); }
  void TearDown() override { setDataFileLockWait(previousWait_); }

  // A data file with one session of alice at 9:00, as a first tracker's close writes it.
  std::string firstDay() {
    const std::string path = folder_.file("Demo.HMR");
    Tracker first;
    first.base = {path, std::nullopt};
    first.add(0, "alice").save(path);
    return path;
  }

  TempFolder folder_;
  std::chrono::milliseconds previousWait_{};
};

TEST_F(DataFileSaveTest, AMissingFileIsWrittenAsHeldAndBecomesTheBase) {
  const std::string path = folder_.file("Demo.HMR");
  Tracker tracker;
  tracker.base = {path, std::nullopt};
  tracker.add(0, "alice").add(2, "alice").save(path);
  EXPECT_THAT(sessionsIn(path), ElementsAre("09:00 alice 1800", "11:00 alice 1800"));
  EXPECT_FALSE(tracker.merged);  // nothing to merge with
  EXPECT_EQ(tracker.base.path, path);
  EXPECT_EQ(tracker.base.image, readBytes(path));
  // The lock file lived only while the save held it.
  EXPECT_THAT(folder_.names(), ElementsAre("Demo.HMR"));
}

TEST_F(DataFileSaveTest, AFileNobodyElseWroteIsReplacedWithoutAMerge) {
  const std::string path = firstDay();
  Tracker tracker;
  tracker.open(path);
  tracker.sessions.clear();  // the short sessions of a raised minimum, say: dropped by us
  tracker.add(3, "alice").save(path);
  EXPECT_FALSE(tracker.merged);
  EXPECT_THAT(sessionsIn(path), ElementsAre("12:00 alice 1800"));
}

// The measured loss: two IDEs of different users; the second close used to overwrite the first.
TEST_F(DataFileSaveTest, AnotherUsersSaveInBetweenIsMergedNotOverwritten) {
  const std::string path = firstDay();
  Tracker alice, bob;
  alice.open(path);
  bob.open(path);
  bob.add(1, "bob").save(path);
  alice.add(2, "alice").save(path);
  EXPECT_THAT(sessionsIn(path),
              ElementsAre("09:00 alice 1800", "10:00 bob 1800", "11:00 alice 1800"));
  ASSERT_TRUE(alice.merged);
  EXPECT_THAT(alice.merged->notes, IsEmpty());  // sessions added on both sides: nothing to say
  EXPECT_EQ(alice.merged->sessions.size(), 3u);
  EXPECT_EQ(alice.base.image, readBytes(path));
  // Bob's next save merges alice's close in the same way.
  bob.add(4, "bob").save(path);
  EXPECT_THAT(sessionsIn(path), ElementsAre("09:00 alice 1800", "10:00 bob 1800",
                                            "11:00 alice 1800", "13:00 bob 1800"));
}

// Same user, two IDEs: both sessions kept, also two opened in the same second with different
// lengths (two sessions of one identity added on both sides are two sessions in a save).
TEST_F(DataFileSaveTest, TwoSessionsOfOneUserAreBothKeptEvenInTheSameSecond) {
  const std::string path = firstDay();
  Tracker one, two;
  one.open(path);
  two.open(path);
  one.add(1, "alice", 45).save(path);
  two.add(1, "alice", 20).add(3, "alice").save(path);
  EXPECT_THAT(sessionsIn(path), ElementsAre("09:00 alice 1800", "10:00 alice 1200",
                                            "10:00 alice 2700", "12:00 alice 1800"));
  // Saved once more with nothing new, nothing doubles.
  two.save(path);
  one.save(path);
  EXPECT_EQ(sessionsIn(path).size(), 4u);
}

// A session that this tracker dropped (its owner raised the minimum work time) stays dropped,
// and one the other tracker dropped too; what each added stays.
TEST_F(DataFileSaveTest, RemovalsOnEitherSideAgainstTheBaseAreKept) {
  const std::string path = folder_.file("Demo.HMR");
  Tracker first;
  first.base = {path, std::nullopt};
  first.add(0, "alice").add(1, "alice").save(path);
  Tracker one, two;
  one.open(path);
  two.open(path);
  two.sessions.erase(two.sessions.begin());  // 9:00 dropped by the other
  two.add(5, "bob").save(path);
  one.sessions.erase(one.sessions.begin() + 1);  // 10:00 dropped by us
  one.add(6, "alice").save(path);
  EXPECT_THAT(sessionsIn(path), ElementsAre("14:00 bob 1800", "15:00 alice 1800"));
  ASSERT_TRUE(one.merged);
  // Ours removed what we removed ourselves: not told. Theirs removed 9:00: told.
  ASSERT_EQ(one.merged->notes.size(), 1u);
  EXPECT_THAT(one.merged->notes[0], HasSubstr("the file on disk"));
}

// The base of another file (a project renamed onto an existing data file) is no common
// history: the union is saved.
TEST_F(DataFileSaveTest, ABaseOfAnotherFileMergesAsAUnion) {
  const std::string path = firstDay();
  Tracker tracker;
  tracker.base = {folder_.file("Old.HMR"), std::string("not this file")};
  tracker.add(2, "bob").save(path);
  EXPECT_THAT(sessionsIn(path), ElementsAre("09:00 alice 1800", "11:00 bob 1800"));
}

TEST_F(DataFileSaveTest, ADamagedFileOnDiskFailsTheSaveAndIsLeftAsItWas) {
  const std::string path = firstDay();
  Tracker tracker;
  tracker.open(path);
  const DataFileBase before = tracker.base;
  std::string damaged = readBytes(path);
  damaged[damaged.size() / 2] ^= 0x20;  // the checksum no longer matches
  writeBytes(path, damaged);
  tracker.add(2, "alice");
  try {
    tracker.save(path);
    FAIL() << "saved over a damaged file";
  } catch (const HmrSaveFailed& e) {
    EXPECT_THAT(e.what(), HasSubstr("Error saving HMR file " + path + " : the file on disk does "
                                    "not read as an HMR data file ("));
    EXPECT_THAT(e.what(), HasSubstr("so it is left as it is"));
  }
  EXPECT_EQ(readBytes(path), damaged);
  EXPECT_EQ(tracker.base.image, before.image);
  EXPECT_THAT(folder_.names(), ElementsAre("Demo.HMR"));  // no lock file left behind
  // Another format altogether, and a folder by the data file's name: refused the same way.
  writeBytes(path, "{\"sessions\": []}\n");
  EXPECT_THROW(tracker.save(path), HmrSaveFailed);
  EXPECT_EQ(readBytes(path), "{\"sessions\": []}\n");
  folder_.file("Folder.HMR/inside");  // makes the folder
  Tracker other;
  other.base = {folder_.path() + "/Folder.HMR", std::nullopt};
  other.add(1, "alice");
  EXPECT_THROW(other.save(folder_.path() + "/Folder.HMR"), HmrSaveFailed);
}

// Another program keeps the lock for the whole wait: the save fails, naming the lock file and
// the wait, and the data file is not touched. Once the lock is free, the save goes through.
TEST_F(DataFileSaveTest, ALockHeldByAnotherProcessFailsTheSaveAfterTheWait) {
  const std::string path = firstDay();
  const std::string before = readBytes(path);
  int toChild[2], fromChild[2];
  ASSERT_EQ(::pipe(toChild), 0);
  ASSERT_EQ(::pipe(fromChild), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    FileLock lock = FileLock::acquire(dataFileLockPath(path), 0644, std::chrono::seconds(1));
    char c = 'l';
    (void)!::write(fromChild[1], &c, 1);
    (void)!::read(toChild[0], &c, 1);  // until the parent says so
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(fromChild[0], &c, 1), 1);
  Tracker tracker;
  tracker.open(path);
  tracker.add(2, "alice");
  const auto started = std::chrono::steady_clock::now();
  try {
    tracker.save(path);
    ADD_FAILURE() << "saved while another process held the lock";
  } catch (const HmrSaveFailed& e) {
    EXPECT_EQ(std::string(e.what()), "Error saving HMR file " + path +
                                         " : another program held its lock file " +
                                         dataFileLockPath(path) + " for 0.2 seconds");
  }
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(200));
  EXPECT_EQ(readBytes(path), before);
  (void)!::write(toChild[1], &c, 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  tracker.save(path);  // the process that held it ended: its lock went with it
  EXPECT_THAT(sessionsIn(path), ElementsAre("09:00 alice 1800", "11:00 alice 1800"));
  for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) ::close(fd);
}

// Several processes that read the same file and save at the same moment: the lock makes them
// take turns, and every one's session is in the file afterwards.
TEST_F(DataFileSaveTest, SavesAtTheSameMomentTakeTurnsAndKeepEverySession) {
  const std::string path = firstDay();
  setDataFileLockWait(std::chrono::seconds(20));
  constexpr int kWriters = 6;
  std::vector<pid_t> children;
  for (int i = 0; i < kWriters; ++i) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      try {
        Tracker tracker;
        tracker.open(path);
        tracker.add(1 + i, "user" + std::to_string(i));
        tracker.save(path);
        ::_exit(0);
      } catch (...) {
        ::_exit(1);
      }
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const std::vector<std::string> saved = sessionsIn(path);
  ASSERT_EQ(saved.size(), 1u + kWriters);
  for (int i = 0; i < kWriters; ++i)
    EXPECT_EQ(saved[1 + i], formatIsoDateTime(kMonday + (1 + i) / 24.0).substr(11, 5) +
                                " user" + std::to_string(i) + " 1800");
  EXPECT_THAT(folder_.names(), ElementsAre("Demo.HMR"));
}

}  // namespace
}  // namespace hmr
