// SPDX-License-Identifier: MIT
// The tracker's C interface as an IDE calls it: the library is linked as the Lazarus package
// loads it, with the settings store and the data files in a scratch folder of each test.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "core/HMRFileIO.h"
#include "lazarus/hmr_tracker.h"

namespace {

namespace fs = std::filesystem;

class TrackerApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "hmr-capi-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    setenv("HMR_REGISTRY", (folder_ / "registry.db").c_str(), 1);
    setenv("XDG_STATE_HOME", (folder_ / "state").c_str(), 1);
    // No windows here: the tracker dialog is the report on standard output.
    unsetenv("DISPLAY");
  }
  void TearDown() override {
    hmr_tracker_stop();  // whatever a failed test left running
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::string file(const char* name) const { return (folder_ / name).string(); }
  std::string error() const { return hmr_last_error(); }
  // Chooses the menu entry; the windowless dialog's report is what it printed.
  std::string chooseMenuEntry(int& status) const {
    testing::internal::CaptureStdout();
    status = hmr_menu_chosen();
    return testing::internal::GetCapturedStdout();
  }

  fs::path folder_;
};

TEST_F(TrackerApiTest, EveryCallBeforeStartIsRefused) {
  const std::string project = file("demo.lpi");
  const char* owners[] = {project.c_str()};
  EXPECT_EQ(hmr_project_opened(project.c_str()), HMR_WRONG_ORDER);
  EXPECT_EQ(error(), "The tracker is not running");
  EXPECT_EQ(hmr_file_opened(file("unit1.pas").c_str(), owners, 1), HMR_WRONG_ORDER);
  EXPECT_EQ(hmr_file_activated(project.c_str()), HMR_WRONG_ORDER);
  EXPECT_EQ(hmr_source_edited(project.c_str()), HMR_WRONG_ORDER);
  EXPECT_EQ(hmr_form_edited(project.c_str()), HMR_WRONG_ORDER);
  EXPECT_EQ(hmr_project_renamed(project.c_str(), file("new.lpi").c_str()), HMR_WRONG_ORDER);
  EXPECT_EQ(hmr_file_closed(project.c_str()), HMR_WRONG_ORDER);
  EXPECT_EQ(hmr_project_closed(project.c_str()), HMR_WRONG_ORDER);
  EXPECT_EQ(hmr_menu_chosen(), HMR_WRONG_ORDER);
  EXPECT_EQ(hmr_timer_tick(), HMR_WRONG_ORDER);
  EXPECT_EQ(hmr_tracker_stop(), HMR_WRONG_ORDER);
  EXPECT_EQ(error(), "The tracker is not running");
}

TEST_F(TrackerApiTest, StartRefusesAMissingOrUnknownHost) {
  EXPECT_EQ(hmr_tracker_start(nullptr), HMR_BAD_ARGUMENT);
  EXPECT_EQ(error(), "The host is missing");
  EXPECT_EQ(hmr_tracker_start(""), HMR_BAD_ARGUMENT);
  EXPECT_EQ(hmr_tracker_start("Delphi 5"), HMR_BAD_ARGUMENT);
  EXPECT_EQ(error(), "Unknown host: Delphi 5");
  EXPECT_EQ(hmr_timer_tick(), HMR_WRONG_ORDER);
  EXPECT_EQ(hmr_tracker_start("lazarus"), HMR_OK);
  EXPECT_EQ(error(), "");
}

// A rebuilt IDE runs from ~/.lazarus/bin; the projects of its installation are those below
// the Lazarus directory the IDE names, and they get no data file.
TEST_F(TrackerApiTest, ProjectsOfTheLazarusDirectoryGetNoDataFile) {
  EXPECT_EQ(hmr_lazarus_directory(nullptr), HMR_BAD_ARGUMENT);
  EXPECT_EQ(error(), "The Lazarus directory is missing");
  EXPECT_EQ(hmr_lazarus_directory("usr/lib/lazarus"), HMR_BAD_ARGUMENT);
  fs::create_directories(folder_ / "lazarus/examples/hello");
  fs::create_directories(folder_ / "work");
  ASSERT_EQ(hmr_lazarus_directory(file("lazarus/").c_str()), HMR_OK);
  ASSERT_EQ(hmr_tracker_start("Lazarus"), HMR_OK);
  EXPECT_EQ(hmr_lazarus_directory(file("other").c_str()), HMR_WRONG_ORDER);
  EXPECT_EQ(error(), "The tracker is already running");
  const std::string example = file("lazarus/examples/hello/hello.lpi");
  const std::string own = file("work/own.lpi");
  for (const std::string& project : {example, own}) {
    ASSERT_EQ(hmr_project_opened(project.c_str()), HMR_OK);
    ASSERT_EQ(hmr_project_closed(project.c_str()), HMR_OK);
  }
  ASSERT_EQ(hmr_tracker_stop(), HMR_OK);
  EXPECT_FALSE(fs::exists(file("lazarus/examples/hello/hello.HMR")));
  EXPECT_TRUE(fs::exists(file("work/own.HMR")));

  // The start took the folder: the next one counts the running program's folder again.
  ASSERT_EQ(hmr_tracker_start("Lazarus"), HMR_OK);
  ASSERT_EQ(hmr_project_opened(example.c_str()), HMR_OK);
  ASSERT_EQ(hmr_tracker_stop(), HMR_OK);
  EXPECT_TRUE(fs::exists(file("lazarus/examples/hello/hello.HMR")));
}

TEST_F(TrackerApiTest, SecondStartIsRefusedAndTheFirstGoesOn) {
  ASSERT_EQ(hmr_tracker_start("Lazarus"), HMR_OK);
  const std::string project = file("demo.lpi");
  ASSERT_EQ(hmr_project_opened(project.c_str()), HMR_OK);
  EXPECT_EQ(hmr_tracker_start("Lazarus"), HMR_WRONG_ORDER);
  EXPECT_EQ(error(), "The tracker is already running");
  EXPECT_EQ(hmr_timer_tick(), HMR_OK);
  EXPECT_EQ(hmr_tracker_stop(), HMR_OK);
  EXPECT_TRUE(fs::exists(file("demo.HMR")));
  // Stopped, it can start again.
  EXPECT_EQ(hmr_tracker_stop(), HMR_WRONG_ORDER);
  EXPECT_EQ(hmr_tracker_start("Lazarus"), HMR_OK);
}

TEST_F(TrackerApiTest, BadPathsAreRefusedAndChangeNothing) {
  ASSERT_EQ(hmr_tracker_start("Lazarus"), HMR_OK);
  EXPECT_EQ(hmr_project_opened(nullptr), HMR_BAD_ARGUMENT);
  EXPECT_EQ(error(), "The project file is missing");
  EXPECT_EQ(hmr_project_opened(""), HMR_BAD_ARGUMENT);
  EXPECT_EQ(hmr_project_opened("demo.lpi"), HMR_BAD_ARGUMENT);
  EXPECT_EQ(error(), "The project file is not absolute: demo.lpi");
  EXPECT_EQ(hmr_source_edited(nullptr), HMR_BAD_ARGUMENT);
  EXPECT_EQ(hmr_form_edited(""), HMR_BAD_ARGUMENT);
  EXPECT_EQ(hmr_file_activated(nullptr), HMR_BAD_ARGUMENT);
  EXPECT_EQ(hmr_file_closed(""), HMR_BAD_ARGUMENT);
  EXPECT_EQ(hmr_project_closed(nullptr), HMR_BAD_ARGUMENT);
  EXPECT_EQ(hmr_project_renamed(file("a.lpi").c_str(), nullptr), HMR_BAD_ARGUMENT);
  EXPECT_EQ(error(), "The new project file is missing");
  EXPECT_EQ(hmr_project_renamed("", file("a.lpi").c_str()), HMR_BAD_ARGUMENT);

  const std::string project = file("demo.lpi");
  ASSERT_EQ(hmr_project_opened(project.c_str()), HMR_OK);
  const std::string unit = file("unit1.pas");
  const char* owners[] = {project.c_str(), nullptr};
  EXPECT_EQ(hmr_file_opened(unit.c_str(), nullptr, 1), HMR_BAD_ARGUMENT);
  EXPECT_EQ(error(), "The owning projects are missing");
  EXPECT_EQ(hmr_file_opened(unit.c_str(), owners, -1), HMR_BAD_ARGUMENT);
  EXPECT_EQ(hmr_file_opened(unit.c_str(), owners, 2), HMR_BAD_ARGUMENT);
  EXPECT_EQ(error(), "An owning project is missing");
  // None of them opened the file.
  EXPECT_EQ(hmr_source_edited(unit.c_str()), HMR_FAILED);
  EXPECT_EQ(hmr_file_opened(unit.c_str(), nullptr, 0), HMR_OK);
}

TEST_F(TrackerApiTest, ActionsTheIdeStateRefusesFail) {
  ASSERT_EQ(hmr_tracker_start("Lazarus"), HMR_OK);
  const std::string unit = file("unit1.pas");
  EXPECT_EQ(hmr_source_edited(unit.c_str()), HMR_FAILED);
  EXPECT_EQ(error(), "no open file " + unit);
  const char* owners[] = {"/nowhere/other.lpi"};
  EXPECT_EQ(hmr_file_opened(unit.c_str(), owners, 1), HMR_FAILED);
  EXPECT_EQ(error(), "no open project /nowhere/other.lpi");
  EXPECT_EQ(hmr_project_closed(file("demo.lpi").c_str()), HMR_FAILED);
  EXPECT_EQ(hmr_timer_tick(), HMR_OK);
  EXPECT_EQ(error(), "");
}

// The calls a Lazarus session makes, from opening to "Save Project As" and quitting: the
// session ends up in the data file beside the renamed project, nothing under the old name.
TEST_F(TrackerApiTest, RenamedProjectKeepsItsSessionUnderTheNewName) {
  ASSERT_EQ(hmr_tracker_start("Lazarus"), HMR_OK);
  const std::string project = file("demo.lpi");
  const std::string unit = file("unit1.pas");
  const std::string renamed = file("renamed.lpi");
  const char* owners[] = {project.c_str()};
  ASSERT_EQ(hmr_project_opened(project.c_str()), HMR_OK);
  ASSERT_EQ(hmr_file_opened(unit.c_str(), owners, 1), HMR_OK);
  ASSERT_EQ(hmr_file_activated(unit.c_str()), HMR_OK);
  ASSERT_EQ(hmr_source_edited(unit.c_str()), HMR_OK);
  ASSERT_EQ(hmr_form_edited(unit.c_str()), HMR_OK);
  ASSERT_EQ(hmr_project_renamed(project.c_str(), renamed.c_str()), HMR_OK);
  ASSERT_EQ(hmr_source_edited(unit.c_str()), HMR_OK);
  int shown = -1;
  const std::string report = chooseMenuEntry(shown);
  EXPECT_EQ(shown, HMR_OK) << error();
  EXPECT_NE(report.find("For Lazarus"), std::string::npos) << report;
  EXPECT_NE(report.find("Current"), std::string::npos) << report;
  ASSERT_EQ(hmr_file_closed(unit.c_str()), HMR_OK);
  ASSERT_EQ(hmr_project_closed(renamed.c_str()), HMR_OK);
  ASSERT_EQ(hmr_tracker_stop(), HMR_OK);

  EXPECT_FALSE(fs::exists(file("demo.HMR")));
  hmr::HmrFileContents contents;
  hmr::readHmrFile(file("renamed.HMR"), contents);
  ASSERT_EQ(contents.sessions.size(), 1u);
  EXPECT_FALSE(contents.sessions[0].SessionNotClosed);
}

// A save that fails when the project closes is done as far as it can be, and the message
// the IDE would display comes back with the call.
TEST_F(TrackerApiTest, FailedSaveIsReportedWithTheCall) {
  ASSERT_EQ(hmr_tracker_start("Lazarus"), HMR_OK);
  const std::string project = file("gone/demo.lpi");
  fs::create_directories(file("gone"));
  ASSERT_EQ(hmr_project_opened(project.c_str()), HMR_OK);
  fs::remove_all(file("gone"));
  EXPECT_EQ(hmr_project_closed(project.c_str()), HMR_REPORTED);
  EXPECT_NE(error().find("demo.HMR"), std::string::npos) << error();
}

// The IDE quits with a project whose folder went away: the stop reports the failed save, and
// the tracker is stopped all the same.
TEST_F(TrackerApiTest, StopReportsAFailedSaveAndStopsAllTheSame) {
  ASSERT_EQ(hmr_tracker_start("Lazarus"), HMR_OK);
  const std::string project = file("gone/demo.lpi");
  fs::create_directories(file("gone"));
  ASSERT_EQ(hmr_project_opened(project.c_str()), HMR_OK);
  fs::remove_all(file("gone"));
  EXPECT_EQ(hmr_tracker_stop(), HMR_REPORTED);
  EXPECT_NE(error().find("demo.HMR"), std::string::npos) << error();
  EXPECT_EQ(hmr_timer_tick(), HMR_WRONG_ORDER);
  EXPECT_EQ(hmr_tracker_start("Lazarus"), HMR_OK);
}


// An X display that does not answer must not take the IDE down (Qt ends a process whose
// display it cannot reach): the tracker's window is then the report.
TEST_F(TrackerApiTest, ADisplayThatDoesNotAnswerLeavesTheReport) {
  setenv("DISPLAY", ":4093", 1);
  ASSERT_EQ(hmr_tracker_start("Lazarus"), HMR_OK);
  const std::string project = file("demo.lpi");
  ASSERT_EQ(hmr_project_opened(project.c_str()), HMR_OK);
  int shown = -1;
  const std::string report = chooseMenuEntry(shown);
  EXPECT_EQ(shown, HMR_OK) << error();
  EXPECT_NE(report.find("For Lazarus"), std::string::npos) << report;
  EXPECT_EQ(hmr_tracker_stop(), HMR_OK);
  unsetenv("DISPLAY");
}

}  // namespace
