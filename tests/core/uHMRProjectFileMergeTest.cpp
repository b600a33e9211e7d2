// SPDX-License-Identifier: MIT
// A project's saves when another tracker wrote its data file meanwhile: the project takes the
// merged history, its running session kept last and running, and its close keeps both.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/DataFileSave.h"
#include "core/HMRFileIO.h"
#include "core/uHMRProject.h"
#include "tests/core/TrackerTestBase.h"
#include "tests/support/Sessions.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

using ::testing::ElementsAre;

class ProjectFileMergeTest : public TrackerTestBase {
 protected:
  // The data file with a session of ann the day before.
  void SetUp() override {
    std::vector<TSessionData> sessions;
    sessions.push_back(test_support::makeSession(at(-86400), 3600, 0, false, "ann"));
    writeHmrFile(dataFile_, 300, 60, "Demo", sessions);
  }

  // Another tracker that read the file before and now saves a session of bob at `open`.
  void otherSaves(long long open, std::int64_t idle = 300) {
    HmrFileContents contents;
    std::string image;
    readHmrFile(dataFile_, contents, &image);
    contents.sessions.push_back(test_support::makeSession(at(open), 1200, 0, false, "bob"));
    DataFileBase base{dataFile_, image};
    std::optional<MergedHistory> merged;
    saveDataFile(dataFile_, {idle, 60, "Demo", contents.sessions}, base, {"a", "b"}, merged);
  }

  std::vector<std::string> saved() const {
    HmrFileContents contents;
    readHmrFile(dataFile_, contents);
    std::vector<std::string> lines;
    for (const auto& s : contents.sessions)
      lines.push_back(s.SessionUserName.str() + " " +
                      std::to_string(secondsOf(s.SessionDateTimeOpen)) + " " +
                      std::to_string(s.SessionTotalTime) +
                      (s.SessionNotClosed ? " not closed" : ""));
    return lines;
  }

  testing::TempFolder folder_;
  const std::string dataFile_ = folder_.path() + "/Demo.HMR";
};

TEST_F(ProjectFileMergeTest, ASaveWhileRunningTakesTheMergeAndKeepsItsSessionRunning) {
  THMRProject project;
  project.ProjectOpened(folder_.path() + "/Demo.dpr", "Demo", true);
  project.SetCurrentUserName("cyd");
  advance(600);
  project.ActivityDetected();
  otherSaves(-3600);  // bob's session, before ours opened
  project.SaveFile(project.FileName);
  ASSERT_EQ(project.getSessionCount(), 3);
  EXPECT_EQ(project.getSessionData(1)->SessionUserName, "bob");
  TSessionData* running = project.getSessionData(2);
  EXPECT_EQ(running->SessionUserName, "cyd");
  EXPECT_TRUE(running->SessionNotClosed);
  // The running session goes on where it was, and its close merges once more.
  otherSaves(300);  // bob again, while ours runs
  advance(600);
  project.ActivityDetected();
  project.ProjectClosed();
  EXPECT_THAT(saved(), ElementsAre("ann -86400 3600", "bob -3600 1200", "cyd 0 1200",
                                   "bob 300 1200"));
}

// A setting changed by both: the project keeps its own value in the file and says so.
TEST_F(ProjectFileMergeTest, ASettingChangedByBothKeepsTheProjectsValue) {
  THMRProject project;
  project.ProjectOpened(folder_.path() + "/Demo.dpr", "Demo", true);
  project.SetTimeForIdle(900);
  otherSaves(-3600, 600);
  advance(120);
  project.ActivityDetected();
  project.ProjectClosed();
  HmrFileContents contents;
  readHmrFile(dataFile_, contents);
  EXPECT_EQ(contents.timeForIdle, 900);
  EXPECT_EQ(contents.sessions.size(), 3u);
}

}  // namespace
}  // namespace hmr
