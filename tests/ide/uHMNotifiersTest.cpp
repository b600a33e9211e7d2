// SPDX-License-Identifier: MIT
#include "ide/uHMNotifiers.h"

#include <gtest/gtest.h>

#include <fstream>

#include "core/HMRFileIO.h"
#include "tests/support/StandInIdeFixture.h"

namespace hmr::ide_test {
namespace {

// Each test: the package registered, projects at 09:00 on a virtual clock. A project left
// without activity turns idle at its 300-second threshold, so after 480 s a project is still
// open exactly when it saw activity at 240 s.
class NotifierTest : public IdeFixture {
 protected:
  void SetUp() override {
    IdeFixture::SetUp();
    ASSERT_EQ(loadPackage().state, PackageState::Registered);
  }
  // Opens the projects, lets 240 s pass, runs `work`, lets another 240 s pass.
  void workAt240(const std::function<void()>& work) {
    ide->advance(240);
    work();
    ide->advance(240);
  }
  THMRState state(const std::string& name) {
    THMRProject* p = project(file(name));
    return p ? p->State : hmClosed;
  }
  IdeModule& module(const std::string& name) { return *ide->findModule(file(name)); }
};

TEST_F(NotifierTest, OpeningAProjectTracksItAndAttachesBothNotifiers) {
  ide->openProject(file("one.dpr"));
  ASSERT_EQ(group().getProjectCount(), 1);
  EXPECT_EQ(group().getProjectKey(0), file("one.dpr"));
  EXPECT_EQ(project(file("one.dpr"))->getSessionCount(), 1);
  EXPECT_EQ(module("one.dpr").newStyleNotifierCount(), 1u);
  EXPECT_EQ(module("one.dpr").oldStyleNotifierCount(), 1u);
  EXPECT_EQ(addIn().FOTAModuleNotifiers->Count(), 1u);
  EXPECT_EQ(addIn().FAddInModuleNotifiers->Count(), 1u);
}

TEST_F(NotifierTest, AUnitOfTwoProjectsCountsForTheActiveOneOnly) {
  ide->openProject(file("one.dpr"));
  ide->openProject(file("two.dpr"));  // now the active project
  ide->openFile(file("shared.pas"), {file("one.dpr"), file("two.dpr")});
  workAt240([&] { ide->edit(file("shared.pas")); });
  EXPECT_EQ(state("one.dpr"), hmIdle);
  EXPECT_EQ(state("two.dpr"), hmOpen);
}

TEST_F(NotifierTest, ActiveProjectIsMatchedIgnoringLetterCase) {
  ide->openProject(file("one.dpr"));
  ide->openProject(file("two.dpr"));
  ide->openFile(file("shared.pas"), {file("ONE.DPR"), file("two.dpr")});
  ide->activate(file("one.dpr"));
  workAt240([&] { ide->editForm(file("shared.pas")); });
  EXPECT_EQ(state("one.dpr"), hmOpen);
  EXPECT_EQ(state("two.dpr"), hmIdle);
}

TEST_F(NotifierTest, AUnitOfTwoProjectsNeitherActiveCountsForBoth) {
  ide->openProject(file("one.dpr"));
  ide->openProject(file("two.dpr"));
  ide->openProject(file("three.dpr"));  // active, but not an owner of the unit
  ide->openFile(file("shared.pas"), {file("one.dpr"), file("two.dpr")});
  workAt240([&] { ide->edit(file("shared.pas")); });
  EXPECT_EQ(state("one.dpr"), hmOpen);
  EXPECT_EQ(state("two.dpr"), hmOpen);
  EXPECT_EQ(state("three.dpr"), hmIdle);
}

TEST_F(NotifierTest, AUnitOfOneProjectCountsForItsOwnerEvenWhenAnotherIsActive) {
  ide->openProject(file("one.dpr"));
  ide->openProject(file("two.dpr"));
  ide->openFile(file("unit1.pas"), {file("one.dpr")});
  workAt240([&] { ide->edit(file("unit1.pas")); });
  EXPECT_EQ(state("one.dpr"), hmOpen);
  EXPECT_EQ(state("two.dpr"), hmIdle);
}

TEST_F(NotifierTest, AFileOfNoProjectCountsForTheActiveProject) {
  ide->openProject(file("one.dpr"));
  ide->openProject(file("two.dpr"));
  ide->openFile(file("loose.txt"), {});
  workAt240([&] { ide->edit(file("loose.txt")); });
  EXPECT_EQ(state("one.dpr"), hmIdle);
  EXPECT_EQ(state("two.dpr"), hmOpen);
}

TEST_F(NotifierTest, AProjectsOwnSourceCountsForTheActiveProject) {
  ide->openProject(file("one.dpr"));
  ide->openProject(file("two.dpr"));
  // The project's own module owns nothing: the active project gets the activity, whichever
  // project's source was edited.
  workAt240([&] { ide->edit(file("one.dpr")); });
  EXPECT_EQ(state("one.dpr"), hmIdle);
  EXPECT_EQ(state("two.dpr"), hmOpen);
}

TEST_F(NotifierTest, WithNoProjectGroupOpenAnEditCountsForNobody) {
  ide->openFile(file("loose.txt"), {});
  ide->edit(file("loose.txt"));
  EXPECT_EQ(group().getProjectCount(), 0);
  EXPECT_TRUE(ide->errorsShown().empty());
}

TEST_F(NotifierTest, ARefusedNewStyleNotifierLeavesTheProjectUntracked) {
  ide->refuseModuleNotifiers = true;
  ide->openProject(file("one.dpr"));
  EXPECT_EQ(group().getProjectCount(), 0);
  EXPECT_EQ(addIn().FOTAModuleNotifiers->Count(), 0u);
  EXPECT_EQ(module("one.dpr").newStyleNotifierCount(), 0u);
  EXPECT_EQ(module("one.dpr").oldStyleNotifierCount(), 1u);  // the old-style one is attached
  ide->edit(file("one.dpr"));
  EXPECT_EQ(group().getProjectCount(), 0);
}

TEST_F(NotifierTest, ARefusalForTheSecondOpeningKeepsTheProjectTracked) {
  ide->openProject(file("one.dpr"));
  module("one.dpr").refuseNotifiers = true;
  ide->openProject(file("one.dpr"));
  ASSERT_EQ(group().getProjectCount(), 1);
  EXPECT_EQ(state("one.dpr"), hmOpen);
  EXPECT_FALSE(std::filesystem::exists(file("one.HMR")));  // nothing was closed and saved
}

TEST_F(NotifierTest, OpeningTheSameProjectTwiceAndClosingItOnce) {
  ide->openProject(file("one.dpr"));
  ide->advance(120);
  ide->edit(file("one.dpr"));
  ide->openProject(file("one.dpr"));
  EXPECT_EQ(module("one.dpr").newStyleNotifierCount(), 2u);
  EXPECT_EQ(module("one.dpr").oldStyleNotifierCount(), 2u);
  EXPECT_EQ(group().getProjectCount(), 1);
  EXPECT_EQ(project(file("one.dpr"))->getSessionCount(), 1);  // no second session
  ide->advance(60);
  ide->closeProject(file("one.dpr"));
  EXPECT_EQ(group().getProjectCount(), 0);
  EXPECT_EQ(addIn().FOTAModuleNotifiers->Count(), 0u);
  HmrFileContents saved;
  readHmrFile(file("one.HMR"), saved);
  ASSERT_EQ(saved.sessions.size(), 1u);
  EXPECT_EQ(saved.sessions[0].SessionTotalTime, 180);
  EXPECT_EQ(saved.sessions[0].SessionIdleTime, 0);
}

TEST_F(NotifierTest, TwoInstallationNoticesOfTheOwnPackageReloadOnce) {
  ide->openProject(file("one.dpr"));
  ide->openFile(file("unit1.pas"), {file("one.dpr")});
  ide->advance(120);
  ide->edit(file("unit1.pas"));
  EXPECT_TRUE(addIn().FReloadArmed);
  ide->fileNotification(fnPackageInstalled, "/elsewhere/HMEXPERT50.BPL");
  EXPECT_FALSE(addIn().FReloadArmed);
  // The reload closed and saved the project and announced both modules again: a second pair
  // of notifiers beside the first.
  EXPECT_EQ(module("one.dpr").newStyleNotifierCount(), 2u);
  EXPECT_EQ(module("unit1.pas").oldStyleNotifierCount(), 2u);
  EXPECT_TRUE(std::filesystem::exists(file("one.HMR")));
  ASSERT_EQ(group().getProjectCount(), 1);
  EXPECT_EQ(project(file("one.dpr"))->getSessionCount(), 2);  // the saved one and a new one

  ide->fileNotification(fnPackageInstalled, file("HMExpert50.bpl"));
  EXPECT_EQ(module("one.dpr").newStyleNotifierCount(), 2u);  // no second reload
  EXPECT_TRUE(addIn().FReloadArmed);

  ide->fileNotification(fnPackageInstalled, file("HMExpert50.bpl"));
  EXPECT_EQ(module("one.dpr").newStyleNotifierCount(), 3u);  // armed again: reloads
}

TEST_F(NotifierTest, AnyOtherNoticeBetweenTwoInstallationsRearmsTheReload) {
  ide->openProject(file("one.dpr"));
  ide->fileNotification(fnPackageInstalled, file("HMExpert50.bpl"));
  EXPECT_EQ(module("one.dpr").newStyleNotifierCount(), 2u);
  ide->fileNotification(fnDefaultDesktopSave, file("x.dsk"));
  EXPECT_TRUE(addIn().FReloadArmed);
  ide->fileNotification(fnPackageInstalled, file("HMExpert50.bpl"));
  EXPECT_EQ(module("one.dpr").newStyleNotifierCount(), 3u);
}

TEST_F(NotifierTest, TheOtherBuildsPackageAndOtherPackagesDoNotReload) {
  ide->openProject(file("one.dpr"));
  ide->fileNotification(fnPackageInstalled, file("HMExpert40.bpl"));
  ide->fileNotification(fnPackageInstalled, file("HMExpert50.bpl.old"));
  ide->fileNotification(fnPackageInstalled, file("MyHMExpert50.bpl"));
  EXPECT_EQ(module("one.dpr").newStyleNotifierCount(), 1u);
  EXPECT_TRUE(addIn().FReloadArmed);
}

TEST_F(NotifierTest, OwnPackageIsRecognisedByTheNamePartOnly) {
  EXPECT_TRUE(IsOwnPackageFile("/a/b/HMExpert50.bpl"));
  EXPECT_TRUE(IsOwnPackageFile("HMEXPERT50.BPL"));
  EXPECT_FALSE(IsOwnPackageFile("/HMExpert50.bpl/other.bpl"));
  EXPECT_FALSE(IsOwnPackageFile("/a/HMExpert40.bpl"));
}

TEST_F(NotifierTest, ARenameReachesTheGroupNewNameFirstAndTheNotifierFollows) {
  ide->openProject(file("one.dpr"));
  ide->openProject(file("two.dpr"));
  ide->activate(file("one.dpr"));
  group().ProjectActivated(file("one.dpr"));
  ide->advance(120);
  ide->edit(file("one.dpr"));
  ide->rename(file("one.dpr"), file("renamed.dpr"));
  EXPECT_EQ(group().IndexOf(file("one.dpr")), -1);
  ASSERT_EQ(group().IndexOf(file("renamed.dpr")), 0);  // keeps its position
  EXPECT_EQ(group().ActiveIndex, 0);                  // and stays active
  EXPECT_EQ(project(file("renamed.dpr"))->FileName, file("renamed.HMR"));
  EXPECT_EQ(addIn().FOTAModuleNotifiers->Items(0)->FFileName, file("renamed.dpr"));
  ide->closeProject(file("renamed.dpr"));  // the notifier answers to the new name
  EXPECT_EQ(group().getProjectCount(), 1);
  EXPECT_TRUE(std::filesystem::exists(file("renamed.HMR")));
  EXPECT_FALSE(std::filesystem::exists(file("one.HMR")));
}

TEST_F(NotifierTest, ModuleDeletedDetachesAtOnceAndTheNotifierGoesAtTheNextOpening) {
  ide->openProject(file("one.dpr"));
  ide->openFile(file("unit1.pas"), {file("one.dpr")});
  ASSERT_EQ(addIn().FAddInModuleNotifiers->Count(), 2u);
  TIModuleInterface* unitInterface = ide->toolServices()->GetModuleInterface(file("unit1.pas"));
  ide->closeFile(file("unit1.pas"));
  EXPECT_FALSE(addIn().FAddInModuleNotifiers->Items(1)->FRegistered);  // detached at once
  EXPECT_EQ(addIn().FAddInModuleNotifiers->Count(), 2u);                // but still listed
  unitInterface->Release();
  ide->openFile(file("unit2.pas"), {file("one.dpr")});
  ASSERT_EQ(addIn().FAddInModuleNotifiers->Count(), 2u);  // released, the new one added
  EXPECT_EQ(addIn().FAddInModuleNotifiers->Items(1)->FFileName, file("unit2.pas"));
  EXPECT_TRUE(addIn().FAddInModuleNotifiers->Items(1)->FRegistered);
}

TEST_F(NotifierTest, ClosingAProjectModuleRemovesTheProjectAndSavesIt) {
  ide->openProject(file("one.dpr"));
  ide->advance(90);
  ide->closeProject(file("one.dpr"));
  EXPECT_EQ(group().getProjectCount(), 0);
  EXPECT_EQ(addIn().FOTAModuleNotifiers->Count(), 0u);
  HmrFileContents saved;
  readHmrFile(file("one.HMR"), saved);
  ASSERT_EQ(saved.sessions.size(), 1u);
  EXPECT_EQ(saved.sessions[0].SessionTotalTime, 90);
}

TEST_F(NotifierTest, AnUnreadableDataFileIsShownAndItsNotifierStillDetachesAtUnload) {
  std::ofstream(file("one.HMR"), std::ios::binary) << "not a data file";
  ide->openProject(file("one.dpr"));
  ASSERT_EQ(ide->errorsShown().size(), 1u);
  EXPECT_NE(ide->errorsShown()[0].find("Error reading HMR file"), std::string::npos);
  EXPECT_EQ(group().getProjectCount(), 0);
  // The notifier is attached and booked, so the package takes it along when it goes.
  EXPECT_EQ(addIn().FOTAModuleNotifiers->Count(), 1u);
  ide->unloadPackages();
  EXPECT_EQ(module("one.dpr").newStyleNotifierCount(), 0u);
  EXPECT_EQ(err.str().find("left"), std::string::npos) << err.str();
}

TEST_F(NotifierTest, EventNotificationNeverVetoes) {
  bool cancel = true;
  addIn().EventNotification(enBeforeCompile, cancel);
  EXPECT_FALSE(cancel);
  cancel = true;
  addIn().FileNotification(fnFileClosing, file("x.pas"), cancel);
  EXPECT_FALSE(cancel);
}

TEST_F(NotifierTest, AFailingSaveOnCloseIsShownAndTheNotifierStillDetaches) {
  ide->openProject(file("sub/one.dpr"));  // its folder does not exist: the save must fail
  ide->advance(90);
  ide->closeProject(file("sub/one.dpr"));
  ASSERT_EQ(ide->errorsShown().size(), 1u);
  EXPECT_NE(ide->errorsShown()[0].find("Error saving HMR file"), std::string::npos);
  EXPECT_EQ(addIn().FOTAModuleNotifiers->Count(), 0u);
}

}  // namespace
}  // namespace hmr::ide_test
