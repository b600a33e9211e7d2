// SPDX-License-Identifier: MIT
#include "core/uHMRProjectGroup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/HMRFileIO.h"
#include "core/TrackerUi.h"
#include "platform/FileWriter.h"
#include "platform/HmrError.h"
#include "platform/MemorySettingsStore.h"
#include "platform/SystemFacts.h"
#include "tests/core/TrackerTestBase.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

// Records what the group asks of its windows.
class RecordingUi final : public TrackerUi {
 public:
  void showTrackerDialog(THMRProjectGroup& group, bool standAlone,
                         const std::string& fileToOpen) override {
    ++shown;
    lastStandAlone = standAlone;
    lastFile = fileToOpen;
    dialogWhileShown = group.Dialog;
    if (onShow) onShow(group);
    group.OnDestroyDlg();
  }
  void closeTrackerDialog(THMRProjectGroup& group) override {
    ++closed;
    group.OnDestroyDlg();
  }
  int showUserDialog(SettingsStore&, bool allowNewUser, const std::string& keyPath,
                     std::string& userName) override {
    ++userDialogs;
    lastKey = keyPath;
    EXPECT_TRUE(allowNewUser);
    userName = answer;
    return 1;
  }

  int shown = 0, closed = 0, userDialogs = 0;
  bool lastStandAlone = false, dialogWhileShown = false;
  std::string lastFile, lastKey, answer = "chosen";
  std::function<void(THMRProjectGroup&)> onShow;
};

class GroupTest : public TrackerTestBase {
 protected:
  GroupTest() : group(&ui, &store) {}

  TSessionData& lastSession(THMRProject* p) {
    return *p->getSessionData(p->getSessionCount() - 1);
  }

  RecordingUi ui;
  MemorySettingsStore store;
  THMRProjectGroup group;
};

TEST_F(GroupTest, StartsWithTheUnknownHost) {
  EXPECT_EQ(group.HostTool, ftUnknown);
  EXPECT_EQ(group.HostVersion, "x.x");
  EXPECT_EQ(group.HostDescription, "XXX");
  EXPECT_EQ(group.RegistryKey, "\\SOFTWARE\\CorvaneSW\\HMR\\2.0");
  EXPECT_EQ(group.ActiveIndex, -1);
}

TEST_F(GroupTest, HostTable) {
  group.SetHostTool(ftDelphi5, "5.0");
  EXPECT_EQ(group.HostDescription, "For Delphi 5");
  EXPECT_EQ(group.HostVersion, "5.0");
  EXPECT_EQ(group.RegistryKey, "\\SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5");
  group.SetHostTool(ftDelphi4, "2.0");
  EXPECT_EQ(group.HostDescription, "For Delphi 4");
  EXPECT_EQ(group.RegistryKey, "\\SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi4");
  group.SetHostTool(ftViewer, "1.1");
  EXPECT_EQ(group.HostDescription, "Viewer");
  group.SetHostTool(ftVB6, "6");
  EXPECT_EQ(group.HostDescription, "For Visual Basic 6");
  EXPECT_EQ(group.RegistryKey, "\\SOFTWARE\\CorvaneSW\\HMR\\2.0\\VB6");
  group.SetHostTool(ftUnknown, "9.9");
  EXPECT_EQ(group.HostVersion, "x.x");
}

// Lazarus came after the others: their rows and ordinals stay as they were.
TEST_F(GroupTest, HostTableLazarusRow) {
  group.SetHostTool(ftLazarus, "2.0");
  EXPECT_EQ(group.HostDescription, "For Lazarus");
  EXPECT_EQ(group.HostVersion, "2.0");
  EXPECT_EQ(group.RegistryKey, "\\SOFTWARE\\CorvaneSW\\HMR\\2.0\\Lazarus");
  group.SetHostTool(ftVB6, "6");
  EXPECT_EQ(group.HostDescription, "For Visual Basic 6");
  group.SetHostTool(static_cast<THostTool>(ftLazarus + 1), "9.9");
  EXPECT_EQ(group.HostDescription, "XXX");
  EXPECT_EQ(group.HostVersion, "9.9");
}

TEST_F(GroupTest, SameFileInAnotherLetterCaseStartsNoSecondSession) {
  THMRProject* p = group.AddProject("Demo.dpr", "Demo", true);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(group.AddProject("DEMO.DPR", "Demo", true), nullptr);
  EXPECT_EQ(group.getProjectCount(), 1);
  EXPECT_EQ(p->getSessionCount(), 1);
  EXPECT_EQ(group.IndexOf("demo.dpr"), 0);
  EXPECT_EQ(group.getProject(1), nullptr);
}

TEST_F(GroupTest, NewProjectsTakeTheCurrentUser) {
  group.SetUsername("ann");
  THMRProject* p = group.AddProject("A.dpr", "A", true);
  EXPECT_EQ(lastSession(p).SessionUserName, "ann");
  EXPECT_EQ(p->ProjectGroup, &group);
}

TEST_F(GroupTest, SetUsernameReachesRunningSessionsOnly) {
  group.SetUsername("ann");
  THMRProject* open = group.AddProject("A.dpr", "A", true);
  THMRProject* viewed = group.AddProject("B.dpr", "B", false);
  viewed->AddSession(start_, at(100), false, 0);
  group.SetUsername("bob");
  EXPECT_EQ(lastSession(open).SessionUserName, "bob");
  EXPECT_EQ(lastSession(viewed).SessionUserName, "");
  lastSession(open).SessionUserName = "changed elsewhere";
  group.SetUsername("bob");  // the same name: nothing happens
  EXPECT_EQ(lastSession(open).SessionUserName, "changed elsewhere");
}

TEST_F(GroupTest, RenamingTheActiveProjectKeepsItActive) {
  group.AddProject("A.dpr", "A", true);
  group.AddProject("B.dpr", "B", true);
  group.ProjectActivated("b.DPR");
  ASSERT_EQ(group.ActiveIndex, 1);
  group.RenameProject("C.dpr", "B.dpr");
  EXPECT_EQ(group.ActiveIndex, 1);
  EXPECT_EQ(group.getProjectKey(1), "C.dpr");
  EXPECT_EQ(group.getProject(1)->FileName, "C.HMR");
  // Renaming another project keeps the active one where it is.
  group.RenameProject("Z.dpr", "A.dpr");
  EXPECT_EQ(group.getProjectKey(0), "Z.dpr");
  EXPECT_EQ(group.ActiveIndex, 1);
  // Unknown names change nothing.
  group.RenameProject("Q.dpr", "Nope.dpr");
  EXPECT_EQ(group.IndexOf("Q.dpr"), -1);
}

TEST_F(GroupTest, ActivityIsRoutedByNameOrToTheActiveProject) {
  THMRProject* a = group.AddProject("A.dpr", "A", true);
  THMRProject* b = group.AddProject("B.dpr", "B", true);
  advance(400);
  ASSERT_EQ(a->State, hmIdle);
  ASSERT_EQ(b->State, hmIdle);
  group.ActivityDetected("", true);  // no active project: nothing
  EXPECT_EQ(a->State, hmIdle);
  EXPECT_EQ(b->State, hmIdle);
  group.ActivityDetected("b.dpr", false);
  EXPECT_EQ(b->State, hmOpen);
  group.ProjectActivated("A.dpr");
  group.ActivityDetected("B.dpr", true);  // the active one, whatever the name
  EXPECT_EQ(a->State, hmOpen);
  group.ProjectActivated("gone.dpr");
  EXPECT_EQ(group.ActiveIndex, -1);
}

TEST_F(GroupTest, SaveProjectWithoutANameSavesTheActiveProjectWhenOpen) {
  THMRProject* a = group.AddProject("A.dpr", "A", true);
  group.SaveProject("");  // no active project
  EXPECT_EQ(lastSession(a).SessionDateTimeClose, start_);
  group.ProjectActivated("A.dpr");
  advance(100);
  group.SaveProject("");
  EXPECT_EQ(lastSession(a).SessionDateTimeClose, at(100));
  advance(300);  // idle now
  ASSERT_EQ(a->State, hmIdle);
  group.SaveProject("");
  EXPECT_EQ(lastSession(a).SessionDateTimeClose, at(100));
}

TEST_F(GroupTest, RemovingProjectsClearsTheActiveIndex) {
  group.AddProject("A.dpr", "A", true);
  group.AddProject("B.dpr", "B", true);
  group.ProjectActivated("A.dpr");
  group.RemoveProject("b.dpr");
  EXPECT_EQ(group.ActiveIndex, 0);  // another project went: the index stays
  group.RemoveProject("A.dpr");
  EXPECT_EQ(group.ActiveIndex, -1);
  EXPECT_EQ(group.getProjectCount(), 0);
  group.RemoveProject("A.dpr");  // absent: nothing
  const std::size_t countdowns = TimerGlobal->eventCount();
  group.AddProject("C.dpr", "C", true);
  group.AddProject("D.dpr", "D", true);
  group.ProjectActivated("D.dpr");
  group.RemoveAllProjects();
  EXPECT_EQ(group.getProjectCount(), 0);
  EXPECT_EQ(group.ActiveIndex, -1);
  EXPECT_EQ(TimerGlobal->eventCount(), countdowns);
}

TEST_F(GroupTest, RenamingTheDisplayName) {
  THMRProject* a = group.AddProject("/p/A.dpr", "", true);
  EXPECT_EQ(a->GetHMRName(), "A");
  group.RenameProjectName("/P/a.dpr", "Alpha");
  EXPECT_EQ(a->GetHMRName(), "Alpha");
}

TEST_F(GroupTest, DialogWithoutProjectsIsStandAloneAndClosesWhatItOpened) {
  ui.onShow = [](THMRProjectGroup& g) { g.AddProject("Viewed.dpr", "", false); };
  group.ShowDialog(true, "x.HMR");
  EXPECT_EQ(ui.shown, 1);
  EXPECT_TRUE(ui.lastStandAlone);
  EXPECT_TRUE(ui.dialogWhileShown);
  EXPECT_EQ(ui.lastFile, "x.HMR");
  EXPECT_FALSE(group.Dialog);
  EXPECT_EQ(group.getProjectCount(), 0);

  group.AddProject("A.dpr", "A", true);
  ui.onShow = nullptr;
  group.ShowDialog(true, "");
  EXPECT_FALSE(ui.lastStandAlone);
  EXPECT_EQ(group.getProjectCount(), 1);
}

TEST_F(GroupTest, UserDialogAtStartUpOnlyForAnIdeHostWithThePreferenceOn) {
  FixedSystemFacts facts;
  facts.logon = "logon";
  ScopedSystemFacts useFacts(facts);

  group.ShowUserDialog(true);  // unknown host: the logon name, no dialog
  EXPECT_EQ(group.UserName, "logon");
  EXPECT_EQ(ui.userDialogs, 0);

  group.SetHostTool(ftViewer, "2.0");
  group.ShowUserDialog(true);
  EXPECT_EQ(ui.userDialogs, 0);

  group.SetHostTool(ftDelphi5, "2.0");
  group.ShowUserDialog(false);  // first start: the preference is written as on
  EXPECT_EQ(ui.userDialogs, 1);
  EXPECT_EQ(ui.lastKey, group.RegistryKey);
  EXPECT_EQ(group.UserName, "chosen");
  EXPECT_EQ(store.readDword(RegistryRoot::LocalMachine, group.RegistryKey, "ShowDialog"), 1u);

  store.writeDword(RegistryRoot::LocalMachine, group.RegistryKey, "ShowDialog", 0);
  group.ShowUserDialog(true);
  EXPECT_EQ(ui.userDialogs, 1);
  EXPECT_EQ(group.UserName, "logon");
}

TEST_F(GroupTest, DestroyingTheGroupClosesItsDialogAndProjects) {
  const std::size_t countdowns = TimerGlobal->eventCount();
  RecordingUi localUi;
  {
    THMRProjectGroup local(&localUi, &store);
    local.AddProject("A.dpr", "A", true);
    local.Dialog = true;  // a dialog still showing when the group goes
  }
  EXPECT_EQ(localUi.closed, 1);
  EXPECT_EQ(TimerGlobal->eventCount(), countdowns);
}

// A disk that is always full.
class FullDisk final : public FileWriter {
 public:
  void replaceContents(const std::string&, std::string_view) override {
    throw std::system_error(ENOSPC, std::generic_category());
  }
};

class GroupFileTest : public GroupTest {
 protected:
  std::string path(const char* name) { return folder.file(name); }

  hmr::testing::TempFolder folder;
};

TEST_F(GroupFileTest, AFailedOpenLeavesTheGroupUnchanged) {
  group.AddProject(path("Good.dpr"), "Good", true);
  std::ofstream(path("Bad.HMR"), std::ios::binary) << "not a data file at all";
  const std::size_t countdowns = TimerGlobal->eventCount();
  try {
    group.AddProject(path("Bad.dpr"), "Bad", true);
    FAIL() << "expected a read error";
  } catch (const HmrError& e) {
    EXPECT_NE(std::string(e.what()).find("Error reading HMR file " + path("Bad.HMR")),
              std::string::npos)
        << e.what();
  }
  EXPECT_EQ(group.getProjectCount(), 1);
  EXPECT_EQ(group.IndexOf(path("Bad.dpr")), -1);
  EXPECT_EQ(TimerGlobal->eventCount(), countdowns);  // the failed project is gone
}

TEST_F(GroupFileTest, AFailedCloseKeepsTheProjectClosedInTheGroup) {
  THMRProject* p = group.AddProject(path("Demo.dpr"), "Demo", true);
  advance(600);
  {
    FullDisk full;
    ScopedFileWriter use(full);
    EXPECT_THROW(group.RemoveProject(path("Demo.dpr")), HmrError);
  }
  ASSERT_EQ(group.getProjectCount(), 1);
  EXPECT_EQ(group.getProject(0), p);
  EXPECT_EQ(p->State, hmClosed);
  EXPECT_EQ(p->getSessionCount(), 1);  // its history is still held
  EXPECT_FALSE(p->getSessionData(0)->SessionNotClosed);
  EXPECT_FALSE(std::filesystem::exists(path("Demo.HMR")));
  // The host reporting the close once more changes nothing; with room on the disk again, the
  // next checkpoint round saves the history and the project leaves the group.
  group.RemoveProject(path("Demo.dpr"));
  ASSERT_EQ(group.getProjectCount(), 1);
  advance(DefaultCheckpointInterval);
  EXPECT_EQ(group.getProjectCount(), 0);
  HmrFileContents saved;
  readHmrFile(path("Demo.HMR"), saved);
  ASSERT_EQ(saved.sessions.size(), 1u);
  EXPECT_EQ(saved.sessions[0].SessionTotalTime, 600);
}

TEST_F(GroupFileTest, RemoveAllProjectsStopsAtAFailedSaveHoldingNoDestroyedProject) {
  group.AddProject(path("A.dpr"), "A", true);
  group.AddProject(path("B.dpr"), "B", true);
  advance(120);
  {
    FullDisk full;
    ScopedFileWriter use(full);
    EXPECT_THROW(group.RemoveAllProjects(), HmrError);
  }
  ASSERT_EQ(group.getProjectCount(), 2);
  EXPECT_EQ(group.getProject(0)->State, hmClosed);
  EXPECT_EQ(group.getProject(1)->State, hmOpen);
  group.RemoveAllProjects();
  EXPECT_EQ(group.getProjectCount(), 0);
  EXPECT_TRUE(std::filesystem::exists(path("B.HMR")));
}

}  // namespace
}  // namespace hmr
