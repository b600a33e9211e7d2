// SPDX-License-Identifier: MIT
// The whole chain on a fresh settings store: the IDE starts once, the installer registers the
// package, the IDE tracks a scripted working day with the package loaded, hmr reports it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "core/HMRFileIO.h"
#include "platform/SqliteSettingsStore.h"
#include "tests/e2e/EndToEndTest.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;
using test_support::runProgram;
using ::testing::HasSubstr;

TEST_F(EndToEndTest, WorkingDayFromInstallationToReport) {
  const std::string work = scratch_.file("day");
  fs::create_directories(work);
  const auto run = runProgram("/bin/bash", {HMR_WORKING_DAY_SCRIPT, kBuild, work},
                              scratch_.path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");  // the IDE refused nothing and nothing failed
  store_ = work + "/registry.db";  // the chain keeps a store of its own

  // The installer's registration, exactly.
  const std::string folder = fs::canonical(kBin).string() + "/";
  EXPECT_EQ(stored(kHKCU, "SOFTWARE\\Borland\\Delphi\\5.0\\Known Packages",
                   folder + "HMExpert50.bpl"),
            "Project Revedazl");
  EXPECT_EQ(stored(kHKCR, ".hmr", ""), "hmrfile");
  EXPECT_EQ(stored(kHKCR, "hmrfile", ""), "HMR Data File");
  EXPECT_EQ(stored(kHKCR, "hmrfile\\DefaultIcon", ""), folder + "hmr-viewer,0");
  EXPECT_EQ(stored(kHKCR, "hmrfile\\Shell\\open\\command", ""), folder + "hmr-viewer \"%1\"");

  // The data files lie beside the projects; the renamed project's under its new name.
  EXPECT_TRUE(fs::exists(work + "/Billing/Invoicing.HMR"));
  EXPECT_FALSE(fs::exists(work + "/Billing/Billing.HMR"));
  ASSERT_TRUE(fs::exists(work + "/Reports/Reports.HMR"));

  // Billing 09:00-14:04, idle through the 25-minute meeting and from the last edit before
  // the rename (11:30) to the first after lunch (13:00).
  const Figures billing = onlySession(work + "/Billing/Invoicing.HMR");
  EXPECT_EQ(billing.total, 18240);
  EXPECT_EQ(billing.idle, 1500 + 5400);
  EXPECT_EQ(billing.work, 11340);
  // Reports 11:30-11:41, edited every two minutes: never idle.
  const Figures reports = onlySession(work + "/Reports/Reports.HMR");
  EXPECT_EQ(reports.total, 660);
  EXPECT_EQ(reports.idle, 0);
  EXPECT_EQ(reports.work, 660);

  // The reports: the day of both projects, then Invoicing's one session.
  EXPECT_THAT(run.out, HasSubstr("Project Group:\r\n  Invoicing ("));
  EXPECT_THAT(run.out, HasSubstr("  Group by: Day\r\n"));
  EXPECT_THAT(run.out, HasSubstr("  5.250               1.917               3.333"));
  EXPECT_THAT(run.out, HasSubstr("  5.067               1.917               3.150"));
}

TEST_F(EndToEndTest, InstallerRunTwiceWritesTheSameValues) {
  ASSERT_EQ(runIde("").status, 0);
  const auto first = runProgram(kBin + "/hmrsetup5", {}, scratch_.path());
  const auto second = runProgram(kBin + "/hmrsetup5", {}, scratch_.path());
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(first.out, second.out);
  EXPECT_THAT(second.out, HasSubstr("HMR for Delphi 5.0 was successfully installed."));
  SqliteSettingsStore store(store_);
  EXPECT_EQ(store.values(kHKCU, "SOFTWARE\\Borland\\Delphi\\5.0\\Known Packages").size(), 1u);
  EXPECT_EQ(store.values(kHKCR, "hmrfile\\Shell\\open\\command").size(), 1u);
}

TEST_F(EndToEndTest, InstallerWithoutTheIdeWritesNothingAndFails) {
  const auto run = runProgram(kBin + "/hmrsetup5", {}, scratch_.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.out, HasSubstr("It seems Delphi 5.0 is not installed.\r\nInstall aborted!"));
  SqliteSettingsStore store(store_);
  EXPECT_FALSE(store.keyExists(kHKCU, "SOFTWARE\\Borland\\Delphi\\5.0\\Known Packages"));
  EXPECT_FALSE(store.keyExists(kHKCR, ".hmr"));
  EXPECT_FALSE(store.keyExists(kHKCR, "hmrfile"));
}

TEST_F(EndToEndTest, Delphi4InstallerAndIdeTrackWithTheDelphi4Package) {
  ASSERT_EQ(runIde("", "4").status, 0);  // the 4.0 key appears
  const auto setup = runProgram(kBin + "/hmrsetup4", {}, scratch_.path());
  EXPECT_THAT(setup.out, HasSubstr("HMR for Delphi 4.0 was successfully installed."));
  const std::string folder = fs::canonical(kBin).string() + "/";
  EXPECT_EQ(stored(kHKCU, "SOFTWARE\\Borland\\Delphi\\4.0\\Known Packages",
                   folder + "HMExpert40.bpl"),
            "Project Revedazl");
  EXPECT_FALSE(stored(kHKCU, "SOFTWARE\\Borland\\Delphi\\4.0\\Known Packages",
                      folder + "HMExpert50.bpl"));

  fs::create_directories(scratch_.path() + "/Old");
  const auto day = runIde(
      "clock 2026-12-08T10:00:00\n"
      "open-project Old/Old.dpr\n"
      "advance 600\n"
      "edit Old/Old.dpr\n"
      "advance 120\n"
      "menu \"Project Revedazl\"\n"
      "close-project Old/Old.dpr\n",
      "4");
  ASSERT_EQ(day.status, 0) << day.err;
  EXPECT_EQ(day.err, "");
  EXPECT_THAT(day.out, HasSubstr("For Delphi 4\r\nHost Version 2.0 - Kernel Version 2.0\r\n"));
  // Idle from the open (the countdown ran out at 10:05) to the edit at 10:10.
  const Figures old = onlySession(scratch_.path() + "/Old/Old.HMR");
  EXPECT_EQ(old.total, 720);
  EXPECT_EQ(old.idle, 600);
  EXPECT_EQ(old.work, 120);
  // The tracker ran as the Delphi 4 host: its user settings sit under that host's key.
  SqliteSettingsStore store(store_);
  EXPECT_EQ(store.readDword(kHKLM, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi4", "ShowDialog"), 1u);
  EXPECT_FALSE(store.keyExists(kHKLM, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5"));
}

}  // namespace
}  // namespace hmr
