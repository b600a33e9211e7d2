// SPDX-License-Identifier: MIT
#include "host/ide/StandInIde.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/PeriodicTimer.h"
#include "tests/support/StandInIdeFixture.h"

namespace hmr::ide_test {
namespace {

using StandInIdeTest = IdeFixture;

TEST_F(StandInIdeTest, InRealTimeTheClockIsTheSystemsAndTheVirtualOneIsRefused) {
  ide->runInRealTime();
  EXPECT_TRUE(ide->inRealTime());
  const double now = SystemClock().now();
  EXPECT_NEAR(ide->clock().now(), now, 5.0 / 86400.0);
  EXPECT_THROW(ide->advance(60), IdeActionError);
  EXPECT_THROW(ide->setClock(at("2026-03-02T10:00:00")), IdeActionError);
  EXPECT_THROW(ide->shiftClock(60), IdeActionError);
}

// A View-menu entry is chosen by its caption, as a user finds it ("&" and letter case aside);
// one that is not there fails.
TEST_F(StandInIdeTest, AViewMenuEntryIsChosenByItsCaption) {
  ASSERT_EQ(loadPackage().state, PackageState::Registered);
  ide->clickViewMenu("PROJECT REVEDAZL");
  EXPECT_NE(out.str().find("For Delphi 5\r\n"), std::string::npos) << out.str();
  EXPECT_THROW(ide->clickViewMenu("No Such Entry"), IdeActionError);
}

TEST_F(StandInIdeTest, TheDelphiProjectGroupComesWithTheFirstProject) {
  ide->openProject(file("one.dpr"));
  EXPECT_NE(ide->findModule("ProjectGroup1.bpg"), nullptr);
  EXPECT_EQ(ide->description().name, "Delphi 5");
  EXPECT_EQ(StandInIde(4, store, out, err).description().name, "Delphi 4");
}

TEST_F(StandInIdeTest, KnownPackagesAreLoadedAndFailuresRecordedWithoutStopping) {
  const std::string key = ide->knownPackagesKey();
  EXPECT_EQ(key, "SOFTWARE\\Borland\\Delphi\\5.0\\Known Packages");
  store.writeString(RegistryRoot::CurrentUser, key, file("missing.bpl"), "gone");
  store.writeString(RegistryRoot::CurrentUser, key, HMR_NO_REGISTER_PACKAGE_PATH, "no register");
  store.writeString(RegistryRoot::CurrentUser, key, HMR_PACKAGE50_PATH, "Project Revedazl");
  ide->ensureVersionKey();
  ide->loadKnownPackages();
  ASSERT_EQ(ide->packages().size(), 3u);
  const PackageRecord* good = ide->findPackage(HMR_PACKAGE50_PATH);
  const PackageRecord* noRegister = ide->findPackage(HMR_NO_REGISTER_PACKAGE_PATH);
  const PackageRecord* missing = ide->findPackage(file("missing.bpl"));
  ASSERT_TRUE(good && noRegister && missing);
  EXPECT_EQ(good->state, PackageState::Registered) << good->errorText;
  EXPECT_EQ(good->wizards.size(), 1u);
  EXPECT_EQ(noRegister->state, PackageState::NotLoaded);
  EXPECT_EQ(noRegister->errorText, "the package has no entry point Register");
  EXPECT_EQ(missing->state, PackageState::NotLoaded);
  EXPECT_NE(missing->errorText.find("missing.bpl"), std::string::npos);
  EXPECT_NE(err.str().find("Cannot load package " + file("missing.bpl")), std::string::npos);
  EXPECT_NE(err.str().find(HMR_NO_REGISTER_PACKAGE_PATH), std::string::npos);
  // The library's entry stands in the View menu.
  EXPECT_EQ(ide->viewsMenu()->Items(4)->Caption, "Project Revedaz&l");
  ide->unloadPackages();
  EXPECT_EQ(good->state, PackageState::Unloaded);
  EXPECT_EQ(ide->viewsMenu()->Count(), 7);
}

TEST_F(StandInIdeTest, InstallingThePackageLoadsItAndItsReloadTracksWhatIsOpen) {
  ide->openProject(file("one.dpr"));
  ide->openFile(file("unit1.pas"), {file("one.dpr")});
  ide->installPackage(HMR_PACKAGE50_PATH);
  const PackageRecord* record = ide->findPackage(HMR_PACKAGE50_PATH);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->state, PackageState::Registered) << record->errorText;
  // Its own installation notice announced the open modules again.
  EXPECT_EQ(ide->findModule(file("one.dpr"))->newStyleNotifierCount(), 1u);
  EXPECT_EQ(ide->findModule(file("one.dpr"))->oldStyleNotifierCount(), 1u);
  EXPECT_EQ(ide->findModule(file("unit1.pas"))->oldStyleNotifierCount(), 1u);
  // Installing it again sends the notice only: the reload is disarmed now.
  ide->installPackage(HMR_PACKAGE50_PATH);
  EXPECT_EQ(ide->packages().size(), 1u);
  EXPECT_EQ(ide->findModule(file("one.dpr"))->newStyleNotifierCount(), 1u);
  ide->advance(75);
  ide->unloadPackages();
  EXPECT_TRUE(std::filesystem::exists(file("one.HMR")));
  EXPECT_EQ(err.str(), "");
}

TEST_F(StandInIdeTest, TheVersionKeyIsCreatedWhenMissing) {
  ide->ensureVersionKey();
  EXPECT_TRUE(store.keyExists(RegistryRoot::CurrentUser, "Software\\Borland\\Delphi\\5.0"));
  StandInIde ide4(4, store, out, err);
  ide4.ensureVersionKey();
  EXPECT_TRUE(store.keyExists(RegistryRoot::CurrentUser, "Software\\Borland\\Delphi\\4.0"));
}

// The Delphi 4 build in the Delphi 4 IDE: its own settings key, its own reload rule.
TEST(Delphi4PackageTest, TheDelphi4BuildUsesItsOwnKeyAndReloadsOnlyForItsOwnPackage) {
  ScratchFolder scratch;
  MemorySettingsStore store;
  std::ostringstream out, err;
  {
    StandInIde ide(4, store, out, err);
    ide.setClock(at("2026-03-02T09:00:00"));
    ASSERT_EQ(ide.loadPackage(HMR_PACKAGE40_PATH).state, PackageState::Registered) << err.str();
    EXPECT_TRUE(
        store.keyExists(RegistryRoot::LocalMachine, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi4"));
    EXPECT_FALSE(
        store.keyExists(RegistryRoot::LocalMachine, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5"));
    ide.openProject(scratch.file("one.dpr"));
    IdeModule& module = *ide.findModule(scratch.file("one.dpr"));
    EXPECT_EQ(module.newStyleNotifierCount(), 1u);
    ide.fileNotification(fnPackageInstalled, "/x/HMExpert50.bpl");
    EXPECT_EQ(module.newStyleNotifierCount(), 1u);
    ide.fileNotification(fnPackageInstalled, "/x/hmexpert40.bpl");
    EXPECT_EQ(module.newStyleNotifierCount(), 2u);  // reloaded: the project was recognised
    ide.advance(120);
  }
  EXPECT_TRUE(std::filesystem::exists(scratch.file("one.HMR")));
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace hmr::ide_test
