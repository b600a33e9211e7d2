// SPDX-License-Identifier: MIT
// The IDE host as every persona has it: the IDE its description makes, its module table, its
// packages, its menu with the packages' entries, and the windows it offers.
#include "idehosting/IdeHost.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "idehosting/IdeActionError.h"
#include "tests/idehosting/IdeHostTestSupport.h"

namespace hmr::idehosting_test {
namespace {

using IdeHostTest = HostFixture;

TEST_F(IdeHostTest, TheDescriptionMakesTheMenuAndTheProjectsIdentity) {
  TMenuItem& top = host->mainMenu().Items();
  ASSERT_EQ(top.Count(), 2);
  EXPECT_EQ(top.Items(0)->Name, "FileMenu");
  EXPECT_EQ(&viewMenu(), top.Items(1));
  EXPECT_EQ(viewMenu().Caption, "&View");
  EXPECT_EQ(viewMenu().Count(), 5);
  EXPECT_EQ(host->builtMenu("NoSuchMenu"), nullptr);
  host->openProject(file("one.dpr"));
  IdeModule& project = *host->findModule(file("one.dpr"));
  // The identity the description gives, and no other version's.
  void* answer = nullptr;
  EXPECT_TRUE(project.QueryInterface(testIde().projectInterface, &answer));
  ComPtr<IInterface> release = ComPtr<IInterface>::adopt(static_cast<IOTAProject*>(answer));
  EXPECT_FALSE(project.QueryInterface(IID_IOTAProject_Delphi4, &answer));
  EXPECT_NE(host->findModule("Group.tpg"), nullptr);
}

TEST_F(IdeHostTest, ActionsOnFilesThatAreNotOpenFail) {
  EXPECT_THROW(host->edit(file("x.pas")), IdeActionError);
  EXPECT_THROW(host->openFile(file("x.pas"), {file("none.dpr")}), IdeActionError);
  host->openProject(file("one.dpr"));
  EXPECT_THROW(host->closeFile(file("one.dpr")), IdeActionError);
  host->openFile(file("x.pas"), {});
  EXPECT_THROW(host->closeProject(file("x.pas")), IdeActionError);
  EXPECT_THROW(host->rename(file("x.pas"), file("ONE.dpr")), IdeActionError);
}

TEST_F(IdeHostTest, TheProjectGroupGoesWithTheLastProject) {
  host->openProject(file("one.dpr"));
  host->openProject(file("two.dpr"));
  EXPECT_NE(host->findModule("Group.tpg"), nullptr);
  host->closeProject(file("two.dpr"));
  EXPECT_EQ(host->activeProject(), host->findModule(file("one.dpr")));
  host->closeProject(file("one.dpr"));
  EXPECT_EQ(host->activeProject(), nullptr);
  EXPECT_EQ(host->findModule("Group.tpg"), nullptr);
  EXPECT_TRUE(host->modules().empty());
}

// A persona finds the tracker's entry as the one the package put into its View menu: no
// caption needs to be agreed on.
TEST_F(IdeHostTest, ThePackagesMenuEntryIsTheOneTheHostDidNotBuild) {
  EXPECT_TRUE(host->packageEntries(viewMenu()).empty());
  ASSERT_EQ(loadPackage().state, PackageState::Registered);
  const std::vector<TMenuItem*> entries = host->packageEntries(viewMenu());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(viewMenu().IndexOf(entries[0]), 4);
  // Chosen, it opens the tracker dialog; without windows that is its report on the output.
  host->chooseMenuEntry(*entries[0]);
  EXPECT_NE(out.str().find("For Delphi 5\r\n"), std::string::npos) << out.str();
  host->unloadPackages();
  EXPECT_TRUE(host->packageEntries(viewMenu()).empty());
  EXPECT_EQ(viewMenu().Count(), 5);
}

TEST_F(IdeHostTest, ASecondCopyOfALoadedPackageIsRefusedAndTheFirstKeepsRunning) {
  PackageRecord& first = loadPackage();
  PackageRecord& second = loadPackage();
  EXPECT_EQ(first.state, PackageState::Registered);
  EXPECT_EQ(second.state, PackageState::Failed);
  EXPECT_FALSE(second.errorText.empty());
  host->openProject(file("one.dpr"));
  host->time().advance(90);
  host->unloadPackages();  // the refused copy is not finalised: the first one saves
  EXPECT_TRUE(std::filesystem::exists(file("one.HMR")));
  EXPECT_EQ(viewMenu().Count(), 5);
}

TEST_F(IdeHostTest, TheHostOffersNoWindowsUntilItSaysSo) {
  EXPECT_EQ(host->windows(), HostWindows::windowless);
  host->offerWindows(HostWindows::qtWidgets);
  EXPECT_EQ(host->windows(), HostWindows::qtWidgets);
  host->offerWindows(HostWindows::windowless);
  EXPECT_EQ(host->windows(), HostWindows::windowless);
}

}  // namespace
}  // namespace hmr::idehosting_test
