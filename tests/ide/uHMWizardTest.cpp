// SPDX-License-Identifier: MIT
#include "ide/uHMWizard.h"

#include <gtest/gtest.h>

#include "core/uHMRTimer.h"
#include "ide/PackageHost.h"
#include "ide/crvIDEMenuItem.h"
#include "tests/support/StandInIdeFixture.h"

namespace hmr::ide_test {
namespace {

using WizardTest = IdeFixture;

TEST_F(WizardTest, RegisterPutsTheEntryAtPositionFourOfTheViewMenu) {
  TMenuItem* view = ide->viewsMenu();
  const TMenuItem* fifth = view->Items(4);
  const std::int32_t before = view->Count();
  PackageRecord& record = loadPackage();
  ASSERT_EQ(record.state, PackageState::Registered) << record.errorText;
  ASSERT_EQ(view->Count(), before + 1);
  TMenuItem* entry = view->Items(4);
  EXPECT_EQ(entry->Caption, "Project Revedaz&l");
  EXPECT_EQ(entry->Name, "FMenuItem");
  EXPECT_EQ(view->Items(5), fifth);  // the entries from position 4 on moved down by one
  EXPECT_EQ(entry, wizard()->menuItem());
}

TEST_F(WizardTest, TheWizardAnswersWithItsTextsAndIsAlwaysEnabled) {
  loadPackage();
  THMWizard* w = wizard();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->GetIDString(), "Corvane.HMRExpertD4");
  EXPECT_EQ(w->GetName(), "Project Revedazl Expert");
  EXPECT_EQ(w->GetState(), wizardStateOf(wsEnabled));
  EXPECT_EQ(w->GetMenuText(), "Project Revedaz&l");
  auto asWizard = Supports<IOTAWizard>(static_cast<IOTAWizard*>(w), IID_IOTAWizard);
  EXPECT_EQ(asWizard.get(), static_cast<IOTAWizard*>(w));
  EXPECT_FALSE(Supports<IOTAModuleNotifier>(static_cast<IOTAWizard*>(w), IID_IOTAModuleNotifier));
}

TEST_F(WizardTest, TheGroupCarriesTheDelphi5HostSettings) {
  loadPackage();
  EXPECT_EQ(group().HostTool, ftDelphi5);
  EXPECT_EQ(group().HostVersion, "2.0b");
  EXPECT_EQ(group().HostDescription, "For Delphi 5");
  EXPECT_EQ(group().RegistryKey, "\\SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5");
  EXPECT_FALSE(group().UserName.empty());  // the start-up user name was chosen
  // The user settings went to the IDE's registry, under the Delphi 5 key.
  EXPECT_TRUE(
      store.keyExists(RegistryRoot::LocalMachine, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5"));
}

TEST_F(WizardTest, TheViewMenuIsFoundWhateverTheLetterCaseOfItsName) {
  ide->viewsMenu()->Name = "viewsmenu";
  ASSERT_EQ(loadPackage().state, PackageState::Registered);
  EXPECT_EQ(ide->viewsMenu()->Items(4)->Caption, "Project Revedaz&l");
}

TEST_F(WizardTest, OfSeveralItemsOfTheSameNameTheFirstReceivesTheEntry) {
  std::vector<std::unique_ptr<TMenuItem>> children;
  TMenuItem first, second;
  first.Name = second.Name = "VIEWSMENU";
  for (TMenuItem* parent : {&first, &second})
    for (int i = 0; i < 5; ++i) {
      children.push_back(std::make_unique<TMenuItem>());
      parent->Insert(parent->Count(), children.back().get());
    }
  ide->viewsMenu()->Name = "Other";
  ide->mainMenu().Items().Insert(0, &second);
  ide->mainMenu().Items().Insert(0, &first);
  loadPackage();
  EXPECT_EQ(first.Count(), 6);
  EXPECT_EQ(first.Items(4)->Caption, "Project Revedaz&l");
  EXPECT_EQ(second.Count(), 5);
  ide.reset();  // the entry leaves `first` as the package goes
  EXPECT_EQ(first.Count(), 5);
}

TEST_F(WizardTest, ARefusedAddInNotifierTakesTheMenuEntryOutAgainAndRegistersNothing) {
  ide->refuseAddInNotifiers = true;
  const std::int32_t before = ide->viewsMenu()->Count();
  PackageRecord& record = loadPackage();
  EXPECT_EQ(record.state, PackageState::Failed);
  EXPECT_EQ(record.errorText, "Cannot add notifier");
  EXPECT_TRUE(record.wizards.empty());
  EXPECT_EQ(ide->viewsMenu()->Count(), before);
  for (std::int32_t i = 0; i < ide->viewsMenu()->Count(); ++i)
    EXPECT_NE(ide->viewsMenu()->Items(i)->Name, "FMenuItem");
  ASSERT_EQ(ide->errorsShown().size(), 1u);
  EXPECT_NE(err.str().find("Cannot add notifier"), std::string::npos);
}

TEST_F(WizardTest, WithoutAViewMenuTheRegistrationFailsWithTheMenuMessage) {
  ide->viewsMenu()->Name = "SomethingElse";
  PackageRecord& record = loadPackage();
  EXPECT_EQ(record.state, PackageState::Failed);
  EXPECT_EQ(record.errorText, "Cannot find menu item, ViewsMenu");
  EXPECT_EQ(ide->addInNotifierCount(), 0u);
}

TEST_F(WizardTest, ChoosingTheEntryAnnouncesTheActiveProjectAndShowsTheReport) {
  loadPackage();
  ide->openProject(file("one.dpr"));
  ide->openProject(file("two.dpr"));
  ide->activate(file("one.dpr"));
  group().ProjectActivated("");  // the group no longer knows which one is active
  ide->clickViewMenu("Project Revedazl");
  EXPECT_EQ(group().ActiveIndex, group().IndexOf(file("one.dpr")));
  EXPECT_NE(out.str().find("HMR Report"), std::string::npos);
  EXPECT_NE(out.str().find(file("one.HMR")), std::string::npos);
  EXPECT_EQ(out.str().find(file("two.HMR")), std::string::npos);  // one project's report
  EXPECT_FALSE(group().Dialog);  // the dialog closed again
}

TEST_F(WizardTest, ChoosingTheEntryWithNoProjectOpensTheDialogWithoutAnActiveProject) {
  loadPackage();
  ide->clickViewMenu("project revedazl");
  EXPECT_EQ(group().ActiveIndex, -1);
  EXPECT_NE(out.str().find("HMR Report"), std::string::npos);
  EXPECT_TRUE(ide->errorsShown().empty());
}

TEST_F(WizardTest, UnloadingTakesEverythingDownAndSavesTheOpenProjects) {
  loadPackage();
  ide->openProject(file("one.dpr"));
  ide->advance(120);
  ide->edit(file("one.dpr"));
  ide->advance(60);
  ide->unloadPackages();
  EXPECT_EQ(ide->addInNotifierCount(), 0u);
  EXPECT_EQ(ide->findModule(file("one.dpr"))->newStyleNotifierCount(), 0u);
  EXPECT_EQ(ide->findModule(file("one.dpr"))->oldStyleNotifierCount(), 0u);
  for (std::int32_t i = 0; i < ide->viewsMenu()->Count(); ++i)
    EXPECT_NE(ide->viewsMenu()->Items(i)->Name, "FMenuItem");
  EXPECT_TRUE(std::filesystem::exists(file("one.HMR")));
  EXPECT_EQ(TimerGlobal, nullptr);  // the unit finalisations ran
  EXPECT_EQ(packageHost(), nullptr);
  EXPECT_EQ(err.str(), "");
}

TEST_F(WizardTest, TheTimerOfThePackageIsTheIdesAndRunsOnItsClock) {
  loadPackage();
  ASSERT_NE(TimerGlobal, nullptr);
  ide->openProject(file("one.dpr"));
  ide->advance(299);
  EXPECT_EQ(project(file("one.dpr"))->State, hmOpen);
  ide->advance(1);  // the countdown of 300 s runs out on the tick at 300 s
  EXPECT_EQ(project(file("one.dpr"))->State, hmIdle);
}

}  // namespace
}  // namespace hmr::ide_test
