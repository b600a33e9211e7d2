// SPDX-License-Identifier: MIT
// runInstaller, and the two installer programs run for real against a temporary store.
#include "setup/InstallerProgram.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/HmrError.h"
#include "platform/SqliteSettingsStore.h"
#include "platform/SystemFacts.h"
#include "tests/setup/InstallerTestSupport.h"
#include "tests/support/RawSqlite.h"
#include "tests/support/RunProgram.h"
#include "tests/support/StoreEnvironment.h"
#include "tests/support/TempFolder.h"
#include "tests/support/UnwritableFile.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;
using test_support::ProgramRun;
using test_support::RecordingOutput;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr RegistryRoot HKCU = RegistryRoot::CurrentUser;
constexpr RegistryRoot HKCR = RegistryRoot::ClassesRoot;

const std::string kSuccess5 =
    "HMR for Delphi 5.0 was successfully installed.\r\n\r\n"
    "Delphi needs to be initialized in order to \r\ninstallation of HMR has effect.";

class InstallerProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
    storePath_ = (dir_ / "config" / "registry.db").string();
    // The programs must never reach the real ~/.config.
    environment_.emplace(storePath_, dir_.string());
  }
  void TearDown() override {
    environment_.reset();
  }

  ProgramRun run(const char* program, const std::vector<std::string>& args = {}) {
    return test_support::runProgram(program, args, dir_);
  }
  // The folder of the installer programs, with its final "/".
  static std::string programFolder() {
    return fs::canonical(HMRSETUP5_PATH).parent_path().string() + "/";
  }

  hmr::testing::TempFolder scratch_;
  fs::path dir_;
  std::string storePath_;
  std::optional<test_support::StoreEnvironment> environment_;
};

TEST_F(InstallerProgramTest, StoreThatCannotBeOpenedCountsAsMissingIde) {
  RecordingOutput output;
  EXPECT_FALSE(runInstaller(
      4, []() -> std::unique_ptr<SettingsStore> { throw HmrError("Settings store /x: broken"); },
      output));
  EXPECT_THAT(output.messages,
              ElementsAre(std::pair(std::string("HMR Install Information"),
                                    std::string("It seems Delphi 4.0 is not installed.\r\n"
                                                "Install aborted!"))));
  EXPECT_THAT(output.problems, ElementsAre("Settings store /x: broken"));
}

TEST_F(InstallerProgramTest, OpenedStoreIsInstalledInto) {
  FixedSystemFacts facts;
  facts.executable = "/opt/hmr/hmrsetup5";
  ScopedSystemFacts use(facts);
  RecordingOutput output;
  EXPECT_TRUE(runInstaller(
      5,
      [&] {
        auto store = openSettingsStoreAt(storePath_);
        store->createKey(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0");
        return std::unique_ptr<SettingsStore>(std::move(store));
      },
      output));
  ASSERT_EQ(output.messages.size(), 1u);
  EXPECT_EQ(output.messages[0].second, kSuccess5);
  EXPECT_EQ(SqliteSettingsStore(storePath_).readString(HKCR, ".hmr", ""), "hmrfile");
}

TEST_F(InstallerProgramTest, Hmrsetup5RegistersThePackageBesideItself) {
  openSettingsStoreAt(storePath_)->createKey(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0");
  const ProgramRun setup = run(HMRSETUP5_PATH);
  EXPECT_EQ(setup.status, 0);
  const std::string folder = programFolder();
  EXPECT_EQ(setup.out, "HMR Install Information\n" + kSuccess5 +
                           "\r\n\r\nHMR data files (.HMR) now open with " + folder +
                           "hmr-viewer on this desktop.\n");
  EXPECT_EQ(setup.err, "");

  SqliteSettingsStore store(storePath_);
  EXPECT_EQ(store.integrityCheck(), "ok");
  const auto packages = store.values(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0\\Known Packages");
  ASSERT_EQ(packages.size(), 1u);
  EXPECT_EQ(packages[0].name, folder + "HMExpert50.bpl");
  EXPECT_EQ(packages[0].text, "Project Revedazl");
  EXPECT_EQ(store.readString(HKCR, ".hmr", ""), "hmrfile");
  EXPECT_EQ(store.readString(HKCR, "hmrfile", ""), "HMR Data File");
  EXPECT_EQ(store.readString(HKCR, "hmrfile\\DefaultIcon", ""), folder + "hmr-viewer,0");
  EXPECT_EQ(store.readString(HKCR, "hmrfile\\Shell\\open\\command", ""),
            folder + "hmr-viewer \"%1\"");
}

// An installation that aborts ends with a non-zero status, its message unchanged.
TEST_F(InstallerProgramTest, Hmrsetup4WithoutDelphi4WritesNothingAndFails) {
  openSettingsStoreAt(storePath_)->createKey(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0");
  const ProgramRun setup = run(HMRSETUP4_PATH);
  EXPECT_EQ(setup.status, 1);
  EXPECT_EQ(setup.out,
            "HMR Install Information\nIt seems Delphi 4.0 is not installed.\r\n"
            "Install aborted!\n");
  SqliteSettingsStore store(storePath_);
  EXPECT_THAT(store.subKeys(HKCR, ""), IsEmpty());
  EXPECT_FALSE(store.keyExists(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0\\Known Packages"));
}

// A store that cannot be opened (below a file, a folder, another program's database) counts
// as an IDE that is not there: the installation aborts, saying so, with status 1.
TEST_F(InstallerProgramTest, UnopenableStoresAbortWithOne) {
  std::ofstream(dir_ / "plain") << "x";
  const std::string foreign = (dir_ / "foreign.db").string();
  test_support::runSql(foreign, "CREATE TABLE t(x)");
  fs::create_directories(dir_ / "folder.db");
  struct Case {
    std::string store, cause;
  };
  for (const Case& c : {Case{(dir_ / "plain" / "registry.db").string(), "Not a directory"},
                        Case{(dir_ / "folder.db").string(), "is a folder"},
                        Case{foreign, "is not an HMR settings store"},
                        Case{(dir_ / "plain").string(), "not a database"}}) {
    SCOPED_TRACE(c.store);
    setenv("HMR_REGISTRY", c.store.c_str(), 1);
    for (const char* program : {HMRSETUP5_PATH, HMRSETUP4_PATH}) {
      const ProgramRun setup = run(program);
      EXPECT_EQ(setup.status, 1);
      const std::string version = program == std::string(HMRSETUP5_PATH) ? "5.0" : "4.0";
      EXPECT_EQ(setup.out, "HMR Install Information\nIt seems Delphi " + version +
                               " is not installed.\r\nInstall aborted!\n");
      EXPECT_THAT(setup.err, HasSubstr("Settings store " + c.store));
      EXPECT_THAT(setup.err, HasSubstr(c.cause));
    }
  }
}

// The package entry that cannot be written (a store the installer may only read) aborts the
// installation with its message and status 1.
TEST_F(InstallerProgramTest, AnEntryThatCannotBeWrittenAbortsWithOne) {
  openSettingsStoreAt(storePath_)->createKey(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0");
  test_support::UnwritableFile locked(storePath_);
  if (!locked.locked()) GTEST_SKIP() << "cannot make a file unwritable here";
  const ProgramRun setup = run(HMRSETUP5_PATH);
  EXPECT_EQ(setup.status, 1);
  EXPECT_EQ(setup.out, "HMR Install Information\nError while writing on " + programFolder() +
                           "HMExpert50.bpl file.\r\nInstall aborted!\n");
  EXPECT_THAT(setup.err, HasSubstr("reading only"));
}

TEST_F(InstallerProgramTest, HelpAndUnknownArgumentsInstallNothing) {
  for (const char* program : {HMRSETUP5_PATH, HMRSETUP4_PATH}) {
    const ProgramRun help = run(program, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("Usage:"));
    EXPECT_THAT(help.out, HasSubstr("HMR_REGISTRY"));
    const ProgramRun wrong = run(program, {"--uninstall"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_THAT(wrong.err, HasSubstr("--uninstall"));
  }
  EXPECT_FALSE(fs::exists(storePath_));
}

}  // namespace
}  // namespace hmr
