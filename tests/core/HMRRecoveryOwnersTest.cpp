// SPDX-License-Identifier: MIT
// Recovery files belong to one tracker process: a live one's are never taken for a crash nor
// removed by another; an ended one's, and those named the older way without an owner, are
// recovered once by the next project that opens their data file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/HMRFileIO.h"
#include "core/HMRRecovery.h"
#include "core/uHMRGlobal.h"
#include "core/uHMRProject.h"
#include "platform/UserFolders.h"
#include "tests/core/TrackerTestBase.h"
#include "tests/support/Sessions.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const TDateTime kMonday = encodeDateTime(2026, 12, 7, 9, 0, 0);

// Another tracker process with a running session at `hour` in its recovery file of `dataFile`.
// It keeps running until end() (which ends it as a crash would: no file removed).
class OtherTracker {
 public:
  OtherTracker(const std::string& dataFile, int hour) {
    if (::pipe(toChild_) != 0 || ::pipe(fromChild_) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork");
    if (pid_ == 0) {
      ::close(toChild_[1]);  // so that the read below ends with the test process at the latest
      ::close(fromChild_[0]);
      char c = 'w';
      try {
        THMRProject project;
        project.Sessions.push_back(
            test_support::makeSession(kMonday + hour / 24.0, 1200, 0, true, "alice"));
        writeRecoveryFile(dataFile, project);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "the other tracker failed: %s\n", e.what());
        ::_exit(1);
      }
      (void)!::write(fromChild_[1], &c, 1);
      (void)!::read(toChild_[0], &c, 1);
      ::_exit(0);  // static objects are not destroyed: nothing is cleaned up, as in a crash
    }
    ::close(toChild_[0]);
    ::close(fromChild_[1]);
    char c = 0;
    if (::read(fromChild_[0], &c, 1) != 1 || c != 'w') {
      end();
      throw std::runtime_error("the other tracker failed");
    }
  }
  ~OtherTracker() { end(); }
  void end() {
    if (pid_ <= 0) return;
    char c = 'e';
    (void)!::write(toChild_[1], &c, 1);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    ::close(toChild_[1]);
    ::close(fromChild_[0]);
  }

 private:
  pid_t pid_ = -1;
  int toChild_[2]{}, fromChild_[2]{};
};

class RecoveryOwnersTest : public TrackerTestBase {
 protected:
  // The recovery files of the data file, by name.
  std::vector<std::string> recoveryFiles() const {
    const std::string own = fs::path(recoveryFileFor(dataFile_)).filename().string();
    const std::string prefix = own.substr(0, own.size() - recoveryOwner().size() - 5);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(recoveryFolder())) {
      const std::string name = entry.path().filename().string();
      if (name.starts_with(prefix)) names.push_back(name.substr(prefix.size()));
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string prefixPath() const {
    const std::string own = recoveryFileFor(dataFile_);
    return own.substr(0, own.size() - recoveryOwner().size() - 5);
  }
  static std::vector<std::string> opens(const RecoveredHistory& recovered) {
    std::vector<std::string> lines;
    for (const auto& s : recovered.contents.sessions)
      lines.push_back(formatIsoDateTime(s.SessionDateTimeOpen).substr(11, 5) +
                      (s.SessionNotClosed ? " not closed" : " closed"));
    return lines;
  }

  // The name of a file this process took over.
  static ::testing::Matcher<std::string> takenOver() {
    return ::testing::MatchesRegex("\\." + recoveryOwner() + "\\.[0-9]+\\.HMR");
  }

  testing::TempFolder folder_;
  const std::string dataFile_ = folder_.path() + "/Demo.HMR";
};

TEST_F(RecoveryOwnersTest, ALiveTrackersFileIsNeitherRecoveredNorRemovedUntilItEnds) {
  OtherTracker other(dataFile_, 0);
  const std::vector<std::string> before = recoveryFiles();
  ASSERT_EQ(before.size(), 1u);
  EXPECT_THAT(before[0], ::testing::MatchesRegex("\\.[0-9]+-[0-9a-f]{8}\\.HMR"));
  EXPECT_NE(before[0], "." + recoveryOwner() + ".HMR");

  const RecoveredHistory whileLive = readRecoveryFiles(dataFile_, true);
  EXPECT_FALSE(whileLive.found);
  EXPECT_THAT(whileLive.problems, IsEmpty());
  removeRecoveryFile(dataFile_);  // this process's own files only
  EXPECT_EQ(recoveryFiles(), before);

  other.end();  // it ends without closing the project
  const RecoveredHistory afterCrash = readRecoveryFiles(dataFile_, true);
  ASSERT_TRUE(afterCrash.found);
  EXPECT_THAT(opens(afterCrash), ElementsAre("09:00 not closed"));
  // Taken over: now this process's, so that no other tracker recovers it too.
  EXPECT_THAT(recoveryFiles(), ElementsAre(takenOver()));
  // The ended owner's lock file went with its last file.
  const std::string endedOwner = before[0].substr(1, before[0].size() - 5);
  EXPECT_FALSE(fs::exists(recoveryFolder() + "/tracker-" + endedOwner + ".lock"));
  removeRecoveryFile(dataFile_);
  EXPECT_THAT(recoveryFiles(), IsEmpty());
}

// A process id that the system gives out again does not make an ended tracker's file live:
// its owner name has a random part, and only the lock decides.
TEST_F(RecoveryOwnersTest, AFileOfAnEndedOwnerWithThisProcesssIdIsRecovered) {
  const std::string stale = prefixPath() + "." + std::to_string(::getpid()) + "-0badcafe.HMR";
  ASSERT_NE(recoveryOwner(), std::to_string(::getpid()) + "-0badcafe");
  std::vector<TSessionData> sessions;
  sessions.push_back(test_support::makeSession(kMonday, 600, 0, true, "alice"));
  fs::create_directories(recoveryFolder());
  writeHmrFile(stale, 300, 60, "Demo", sessions);
  const RecoveredHistory recovered = readRecoveryFiles(dataFile_, true);
  ASSERT_TRUE(recovered.found);
  EXPECT_THAT(opens(recovered), ElementsAre("09:00 not closed"));
  EXPECT_FALSE(fs::exists(stale));
  removeRecoveryFile(dataFile_);
  EXPECT_THAT(recoveryFiles(), IsEmpty());
}

// A file named the way trackers before owners named them is recovered and becomes this
// process's, once; a viewer reads ended trackers' files where they are.
TEST_F(RecoveryOwnersTest, AnOlderStyleFileIsRecoveredAndMigratedAViewerOnlyReads) {
  std::vector<TSessionData> sessions;
  sessions.push_back(test_support::makeSession(kMonday, 3600, 0, false, "alice"));
  sessions.push_back(test_support::makeSession(kMonday + 2 / 24.0, 600, 0, true, "alice"));
  fs::create_directories(recoveryFolder());
  writeHmrFile(prefixPath() + ".HMR", 300, 60, "Demo", sessions);
  OtherTracker crashed(dataFile_, 4);
  crashed.end();

  const RecoveredHistory viewed = readRecoveryFiles(dataFile_, false);
  ASSERT_TRUE(viewed.found);
  EXPECT_THAT(opens(viewed), ElementsAre("09:00 closed", "11:00 not closed", "13:00 not closed"));
  ASSERT_EQ(recoveryFiles().size(), 2u);
  EXPECT_EQ(recoveryFiles()[1], ".HMR");  // left where they are

  const RecoveredHistory opened = readRecoveryFiles(dataFile_, true);
  EXPECT_THAT(opens(opened), ElementsAre("09:00 closed", "11:00 not closed", "13:00 not closed"));
  EXPECT_THAT(recoveryFiles(), ElementsAre(takenOver(), takenOver()));
  // Read again (a second project of this process), they are this process's: read, not moved.
  EXPECT_EQ(opens(readRecoveryFiles(dataFile_, true)), opens(opened));
  removeRecoveryFile(dataFile_);
  EXPECT_THAT(recoveryFiles(), IsEmpty());
}

// The recovery file of a crashed IDE comes back as "Not Closed" in the project that opens its
// data file next, beside the sessions of the data file.
TEST_F(RecoveryOwnersTest, AProjectOpeningAfterACrashTakesTheCrashedSession) {
  std::vector<TSessionData> saved;
  saved.push_back(test_support::makeSession(kMonday - 1, 3600, 0, false, "bob"));
  writeHmrFile(dataFile_, 300, 60, "Demo", saved);
  OtherTracker crashed(dataFile_, 0);
  crashed.end();
  THMRProject project;
  project.ProjectOpened(folder_.path() + "/Demo.dpr", "Demo", false);
  ASSERT_EQ(project.getSessionCount(), 2);
  EXPECT_EQ(project.getSessionData(0)->SessionUserName, "bob");
  EXPECT_TRUE(project.getSessionData(1)->SessionNotClosed);
  EXPECT_EQ(project.getSessionData(1)->SessionWorkTime, 1200);
  // Opened without a session (nothing to close later), it takes nothing over.
  EXPECT_EQ(recoveryFiles().size(), 1u);
  EXPECT_THAT(recoveryFiles()[0], ::testing::Not(takenOver()));
  THMRProject tracked;
  tracked.ProjectOpened(folder_.path() + "/Demo.dpr", "Demo", true);
  EXPECT_EQ(tracked.getSessionCount(), 3);
  EXPECT_THAT(recoveryFiles(), ElementsAre(takenOver()));
  tracked.ProjectClosed();
  EXPECT_THAT(recoveryFiles(), IsEmpty());
  HmrFileContents contents;
  readHmrFile(dataFile_, contents);
  EXPECT_EQ(contents.sessions.size(), 3u);
}

}  // namespace
}  // namespace hmr
