// SPDX-License-Identifier: MIT
// The real hmr-ide program with the real package libraries, loaded from Known Packages of a
// settings store of the test's own.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <optional>

#include "core/HMRFileIO.h"
#include "host/ide/IdeScript.h"
#include "platform/SqliteSettingsStore.h"
#include "tests/support/RunProgram.h"
#include "tests/support/StandInIdeFixture.h"
#include "tests/support/StoreEnvironment.h"

namespace hmr::ide_test {
namespace {

class HmrIdeProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_ = scratch.file("registry.db");
    environment_.emplace(registry_, scratch.path().string());
  }
  void TearDown() override { environment_.reset(); }
  void knownPackage(const std::string& version, const std::string& path) {
    auto store = openSettingsStoreAt(registry_);
    store->writeString(RegistryRoot::CurrentUser,
                       "SOFTWARE\\Borland\\Delphi\\" + version + "\\Known Packages", path,
                       "Project Revedazl");
  }
  test_support::ProgramRun runScript(const std::string& text,
                                     std::vector<std::string> extraArgs = {}) {
    const std::string script = scratch.file("script.txt");
    std::ofstream(script) << text;
    extraArgs.push_back("--script");
    extraArgs.push_back(script);
    return test_support::runProgram(HMR_IDE_PATH, extraArgs, scratch.path());
  }
  std::string file(const std::string& name) const { return scratch.file(name); }

  ScratchFolder scratch;
  std::string registry_;

 private:
  std::optional<test_support::StoreEnvironment> environment_;
};

TEST_F(HmrIdeProgramTest, TracksAProjectFromOpeningToClosingOnTheVirtualClock) {
  knownPackage("5.0", HMR_PACKAGE50_PATH);
  const auto run = runScript(
      "clock 2026-03-02T09:00:00\n"
      "open-project " + file("one.dpr") + "\n"
      "open-file " + file("unit1.pas") + " " + file("one.dpr") + "\n"
      // Activity right after the tick at 105 s restarts the 300-second countdown, which runs
      // out on the tick at 405 s: idle from 105 s.
      "advance 105\n"
      "edit " + file("unit1.pas") + "\n"
      "advance 600\n"
      // Activity at 705 s ends the idle stretch: 600 s of idle.
      "edit-form " + file("unit1.pas") + "\n"
      "advance 195\n"
      "menu \"Project Revedazl\"\n"
      "close-project " + file("one.dpr") + "\n"
      "quit\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("HMR Report"), std::string::npos);
  EXPECT_NE(run.out.find(file("one.HMR")), std::string::npos);

  HmrFileContents saved;
  readHmrFile(file("one.HMR"), saved);
  ASSERT_EQ(saved.sessions.size(), 1u);
  const TSessionData& session = saved.sessions[0];
  EXPECT_EQ(formatIsoDateTime(session.SessionDateTimeOpen), "2026-03-02T09:00:00");
  EXPECT_EQ(formatIsoDateTime(session.SessionDateTimeClose), "2026-03-02T09:15:00");
  EXPECT_FALSE(session.SessionNotClosed);
  EXPECT_EQ(session.SessionTotalTime, 900);
  EXPECT_EQ(session.SessionIdleTime, 600);
  EXPECT_EQ(session.SessionWorkTime, 300);
}

TEST_F(HmrIdeProgramTest, EndingTheScriptUnloadsThePackageWhichSavesTheOpenProjects) {
  knownPackage("5.0", HMR_PACKAGE50_PATH);
  const auto run = runScript("clock 2026-03-02T09:00:00\n"
                             "open-project " + file("one.dpr") + "\n"
                             "advance 400\n");
  ASSERT_EQ(run.status, 0) << run.err;
  HmrFileContents saved;
  readHmrFile(file("one.HMR"), saved);
  ASSERT_EQ(saved.sessions.size(), 1u);
  EXPECT_EQ(saved.sessions[0].SessionTotalTime, 400);
  EXPECT_EQ(saved.sessions[0].SessionIdleTime, 400);  // idle from the opening on
  EXPECT_EQ(saved.sessions[0].SessionWorkTime, 0);
}

TEST_F(HmrIdeProgramTest, TheDelphi4IdeLoadsTheDelphi4Package) {
  knownPackage("4.0", HMR_PACKAGE40_PATH);
  knownPackage("5.0", file("not-for-delphi4.bpl"));  // another version's list: not read
  const auto run = runScript("clock 2026-03-02T09:00:00\n"
                             "open-project " + file("one.dpr") + "\n"
                             "advance 90\n"
                             "close-project " + file("one.dpr") + "\n",
                             {"--ide-version", "4"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  HmrFileContents saved;
  readHmrFile(file("one.HMR"), saved);
  ASSERT_EQ(saved.sessions.size(), 1u);
  EXPECT_EQ(saved.sessions[0].SessionTotalTime, 90);
  auto store = openSettingsStoreAt(scratch.file("registry.db"));
  EXPECT_TRUE(
      store->keyExists(RegistryRoot::LocalMachine, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi4"));
}

TEST_F(HmrIdeProgramTest, APackageThatFailsIsReportedAndTheOthersStillRun) {
  knownPackage("5.0", file("missing.bpl"));
  knownPackage("5.0", HMR_PACKAGE50_PATH);
  const auto run = runScript("menu \"Project Revedazl\"\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find("Cannot load package " + file("missing.bpl")), std::string::npos);
  EXPECT_NE(run.out.find("HMR Report"), std::string::npos);
}

TEST_F(HmrIdeProgramTest, AScriptErrorNamesTheLineAndEndsWithStatus2) {
  knownPackage("5.0", HMR_PACKAGE50_PATH);
  const auto run = runScript("clock 2026-03-02T09:00:00\n"
                             "open-project " + file("one.dpr") + "\n"
                             "advance 70\n"
                             "edit " + file("nowhere.pas") + "\n"
                             "advance 1000\n");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("line 4: no open file " + file("nowhere.pas")), std::string::npos);
  // The packages were still unloaded: the project was closed and saved when the error ended
  // the script.
  HmrFileContents saved;
  readHmrFile(file("one.HMR"), saved);
  ASSERT_EQ(saved.sessions.size(), 1u);
  EXPECT_EQ(saved.sessions[0].SessionTotalTime, 70);
}

TEST_F(HmrIdeProgramTest, CreatesTheVersionKeyAndHasHelp) {
  const auto run = runScript("");
  EXPECT_EQ(run.status, 0) << run.err;
  auto store = openSettingsStoreAt(scratch.file("registry.db"));
  EXPECT_TRUE(store->keyExists(RegistryRoot::CurrentUser, "SOFTWARE\\Borland\\Delphi\\5.0"));
  const auto help = test_support::runProgram(HMR_IDE_PATH, {"--help"}, scratch.path());
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--script"), std::string::npos);
  // Every script command, those for clock changes, crashes and playing in step among them.
  EXPECT_NE(help.out.find("Script commands, one per line: " + scriptCommandsHelp()),
            std::string::npos)
      << help.out;
  EXPECT_NE(help.out.find("shift-clock [-]SECONDS | crash | signal FILE | wait-for FILE | quit"),
            std::string::npos);
  const auto bad = test_support::runProgram(HMR_IDE_PATH, {"--script", file("none.txt")},
                                            scratch.path());
  EXPECT_EQ(bad.status, 2);
  const auto badVersion = test_support::runProgram(
      HMR_IDE_PATH, {"--ide-version", "6", "--script", "-"}, scratch.path());
  EXPECT_EQ(badVersion.status, 2);
  EXPECT_NE(badVersion.err.find("--ide-version"), std::string::npos);
}

TEST_F(HmrIdeProgramTest, WithoutWindowsAScriptIsRequired) {
  const auto run = test_support::runProgram(HMR_IDE_PATH, {}, scratch.path());
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("--script is required"), std::string::npos) << run.err;
}

#if HMR_IDE_HAS_WINDOWS
TEST_F(HmrIdeProgramTest, WithWindowsTimePassesByItselfSoTheScriptCannotMoveTheClock) {
  knownPackage("5.0", HMR_PACKAGE50_PATH);
  // A windowed IDE asks who works at start-up unless told not to; nobody answers here.
  openSettingsStoreAt(registry_)->writeDword(RegistryRoot::LocalMachine,
                                             "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5",
                                             "ShowDialog", 0);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const auto run = runScript("open-project " + file("Demo.dpr") + "\nadvance 60\n", {"--gui"});
  unsetenv("QT_QPA_PLATFORM");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("line 2: time passes by itself in a windowed IDE"), std::string::npos)
      << run.err;
}
#endif

}  // namespace
}  // namespace hmr::ide_test
