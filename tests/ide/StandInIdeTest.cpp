// SPDX-License-Identifier: MIT
#include "host/ide/StandInIde.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/PeriodicTimer.h"
#include "tests/ide/IdeTestSupport.h"

namespace hmr::ide_test {
namespace {

using StandInIdeTest = IdeFixture;

TEST_F(StandInIdeTest, ThePeriodicTimerFiresAtEveryMarkWithTheClockReadingIt) {
  std::vector<std::int64_t> firedAt;
  auto timer = ide->createPeriodicTimer();
  timer->setIntervalMs(15000);
  timer->setCallback([&] {
    firedAt.push_back(static_cast<std::int64_t>(
        std::llround((ide->virtualClock().now() - at("2026-03-02T09:00:00")) * 86400)));
  });
  timer->setEnabled(true);
  ide->advance(40);
  EXPECT_EQ(firedAt, (std::vector<std::int64_t>{15, 30}));
  ide->advance(20);  // up to and including 60
  EXPECT_EQ(firedAt, (std::vector<std::int64_t>{15, 30, 45, 60}));
  timer->setEnabled(false);
  ide->advance(30);
  EXPECT_EQ(firedAt.size(), 4u);
  EXPECT_EQ(ConvertDateTimeToSeconds(ide->virtualClock().now()),
            ConvertDateTimeToSeconds(at("2026-03-02T09:01:30")));
}

TEST_F(StandInIdeTest, TheClockCanBeSetOnlyBeforeTimePasses) {
  ide->setClock(at("2026-04-01T10:00:00"));
  EXPECT_EQ(ide->virtualClock().now(), at("2026-04-01T10:00:00"));
  ide->advance(1);
  EXPECT_THROW(ide->setClock(at("2026-04-01T10:00:00")), IdeActionError);
}

TEST_F(StandInIdeTest, AQuietTimerIsPassedOverAndResumesOnItsOwnMarks) {
  std::vector<std::int64_t> firedAt;
  auto timer = ide->createPeriodicTimer();
  timer->setIntervalMs(15000);
  timer->setCallback([&] {
    firedAt.push_back(static_cast<std::int64_t>(
        std::llround((ide->virtualClock().now() - at("2026-03-02T09:00:00")) * 86400)));
  });
  timer->setEnabled(true);
  timer->setQuiet(true);
  ide->advance(200'000'000'000);  // 6,300 years: 13 billion ticks, were they fired
  EXPECT_TRUE(firedAt.empty());
  timer->setQuiet(false);
  ide->advance(40);
  EXPECT_EQ(firedAt, (std::vector<std::int64_t>{200'000'000'010, 200'000'000'025,
                                                200'000'000'040}));
}

TEST_F(StandInIdeTest, TimeStaysWithinTheYearsADataFileHolds) {
  EXPECT_THROW(ide->setClock(encodeDateTime(0, 12, 31, 23, 59, 59)), IdeActionError);
  EXPECT_THROW(ide->setClock(encodeDateTime(1899, 12, 29, 23, 59, 59)), IdeActionError);
  EXPECT_THROW(ide->setClock(encodeDateTime(10000, 1, 1, 0, 0, 0)), IdeActionError);
  ide->setClock(at("9999-12-31T23:59:00"));
  ide->advance(59);
  const TDateTime last = ide->virtualClock().now();
  EXPECT_THROW(ide->advance(1), IdeActionError);
  EXPECT_THROW(ide->advance(std::numeric_limits<std::int64_t>::max()), IdeActionError);
  EXPECT_THROW(ide->shiftClock(1), IdeActionError);
  EXPECT_EQ(ide->virtualClock().now(), last);  // a refused advance or shift changes nothing
  EXPECT_EQ(formatIsoDateTime(last), "9999-12-31T23:59:59");
}

TEST_F(StandInIdeTest, InRealTimeTheClockIsTheSystemsAndTheVirtualOneIsRefused) {
  ide->runInRealTime();
  EXPECT_TRUE(ide->inRealTime());
  const double now = SystemClock().now();
  EXPECT_NEAR(ide->clock().now(), now, 5.0 / 86400.0);
  EXPECT_THROW(ide->advance(60), IdeActionError);
  EXPECT_THROW(ide->setClock(at("2026-03-02T10:00:00")), IdeActionError);
}

TEST_F(StandInIdeTest, ATimerErrorIsShownAndTheTimerKeepsRunning) {
  int ticks = 0;
  auto timer = ide->createPeriodicTimer();
  timer->setIntervalMs(15000);
  timer->setCallback([&] {
    ++ticks;
    throw std::runtime_error("tick failed");
  });
  timer->setEnabled(true);
  ide->advance(30);
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(ide->errorsShown(), (std::vector<std::string>{"tick failed", "tick failed"}));
}

TEST_F(StandInIdeTest, ActionsOnFilesThatAreNotOpenFail) {
  EXPECT_THROW(ide->edit(file("x.pas")), IdeActionError);
  EXPECT_THROW(ide->openFile(file("x.pas"), {file("none.dpr")}), IdeActionError);
  ide->openProject(file("one.dpr"));
  EXPECT_THROW(ide->closeFile(file("one.dpr")), IdeActionError);
  ide->openFile(file("x.pas"), {});
  EXPECT_THROW(ide->closeProject(file("x.pas")), IdeActionError);
  EXPECT_THROW(ide->rename(file("x.pas"), file("ONE.dpr")), IdeActionError);
  EXPECT_THROW(ide->clickViewMenu("No Such Entry"), IdeActionError);
}

TEST_F(StandInIdeTest, TheProjectGroupGoesWithTheLastProject) {
  ide->openProject(file("one.dpr"));
  ide->openProject(file("two.dpr"));
  EXPECT_NE(ide->findModule("ProjectGroup1.bpg"), nullptr);
  ide->closeProject(file("two.dpr"));
  EXPECT_EQ(ide->activeProject(), ide->findModule(file("one.dpr")));
  ide->closeProject(file("one.dpr"));
  EXPECT_EQ(ide->activeProject(), nullptr);
  EXPECT_EQ(ide->findModule("ProjectGroup1.bpg"), nullptr);
  EXPECT_TRUE(ide->modules().empty());
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

TEST_F(StandInIdeTest, ASecondCopyOfALoadedPackageIsRefusedAndTheFirstKeepsRunning) {
  PackageRecord& first = loadPackage();
  PackageRecord& second = loadPackage();
  EXPECT_EQ(first.state, PackageState::Registered);
  EXPECT_EQ(second.state, PackageState::Failed);
  EXPECT_FALSE(second.errorText.empty());
  ide->openProject(file("one.dpr"));
  ide->advance(90);
  ide->unloadPackages();  // the refused copy is not finalised: the first one saves
  EXPECT_TRUE(std::filesystem::exists(file("one.HMR")));
  EXPECT_EQ(ide->viewsMenu()->Count(), 7);
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
