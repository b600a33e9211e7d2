// SPDX-License-Identifier: MIT
// The real hmr-ide program over hostile and unusual input, one table row per input: every row
// states the exit status, what the messages must name, and which files the run may write (the
// folder is compared before and after); every data file left behind must read. Each run has a
// time limit, so a hang or a long advance that costs its seconds fails its row.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/HMRFileIO.h"
#include "platform/SqliteSettingsStore.h"
#include "tests/support/FolderSnapshot.h"
#include "tests/support/RawSqlite.h"
#include "tests/support/RowName.h"
#include "tests/support/RunProgram.h"
#include "tests/support/StandInIdeFixture.h"
#include "tests/support/StoreEnvironment.h"
#include "tests/support/TempFolder.h"

namespace hmr::ide_test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

constexpr std::chrono::seconds kLimit{20};
constexpr const char* kMenu = "Project Revedazl";

// One input and what hmr-ide must do with it. In `script`, `scriptPath` and `says`, "{W}"
// stands for the work folder.
struct Row {
  const char* input;
  std::string script;             // written to {W}/run.script, the default --script
  int status;
  std::vector<std::string> says;  // on standard error
  std::set<std::string> writes = {};  // names in {W} the run may create or change
  const char* store = "plain.db";     // HMR_REGISTRY below the stores' folder
  std::string scriptPath = "{W}/run.script";
  bool outputToDevFull = false;
  std::vector<std::string> prints = {};  // on standard output
};

std::string expand(std::string text, const std::string& work) {
  for (std::size_t at; (at = text.find("{W}")) != std::string::npos;) text.replace(at, 3, work);
  return text;
}

void listPackage(const std::string& store, const std::string& path) {
  openSettingsStoreAt(store)->writeString(
      RegistryRoot::CurrentUser, "SOFTWARE\\Borland\\Delphi\\5.0\\Known Packages", path,
      "Project Revedazl");
}

class HostileScriptTest : public ::testing::TestWithParam<Row> {
 protected:
  void SetUp() override {
    const std::string w = work_.path();
    ASSERT_EQ(mkfifo((w + "/f.HMR").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((w + "/fifo.script").c_str(), 0600), 0);
    fs::create_directory(w + "/X.HMR");
    fs::create_directory(w + "/scripts");
    testing::writeBytes(w + "/secret.script", "quit\n");
    chmod((w + "/secret.script").c_str(), 0);

    const std::string s = stores_.path();
    openSettingsStoreAt(s + "/plain.db")
        ->createKey(RegistryRoot::CurrentUser, "SOFTWARE\\Borland\\Delphi\\5.0");
    listPackage(s + "/package.db", HMR_PACKAGE50_PATH);
    listPackage(s + "/damaged.db", HMR_PACKAGE50_PATH);
    listPackage(s + "/damaged.db", w + "/Damaged.bpl");
    test_support::runSql(s + "/damaged.db",
                         "UPDATE vals SET type=99 WHERE name='" + w + "/Damaged.bpl'");
    test_support::runSql(s + "/foreign.db", "CREATE TABLE t(x)");
  }

  testing::TempFolder work_;
  testing::TempFolder stores_;
  testing::TempFolder home_;
  testing::TempFolder runs_;
};

TEST_P(HostileScriptTest, RefusedClearlyInTimeWritingOnlyWhatItMay) {
  const Row& row = GetParam();
  const std::string w = work_.path();
  if (row.input == std::string("script-unreadable") && access((w + "/secret.script").c_str(),
                                                              R_OK) == 0)
    GTEST_SKIP() << "permissions do not stop this user";
  testing::writeBytes(w + "/run.script", expand(row.script, w));
  const auto before = test_support::snapshotFolder(w);
  const std::string store = stores_.path() + "/" + row.store;
  const auto storeBefore = test_support::snapshotFolder(stores_.path());

  test_support::StoreEnvironment environment(store, home_.path());
  const test_support::ProgramRun result = test_support::runProgram(
      HMR_IDE_PATH, {"--script", expand(row.scriptPath, w)}, runs_.path(),
      {kLimit, row.outputToDevFull ? "/dev/full" : ""});

  EXPECT_FALSE(result.timedOut) << "still running after " << kLimit.count() << " s";
  EXPECT_EQ(result.status, row.status) << result.err;
  for (const std::string& text : row.says) EXPECT_THAT(result.err, HasSubstr(expand(text, w)));
  for (const std::string& text : row.prints) EXPECT_THAT(result.out, HasSubstr(text));

  auto after = test_support::snapshotFolder(w);
  for (const std::string& name : row.writes) {
    EXPECT_TRUE(after.count(name)) << name << " was not written";
    if (name.ends_with(".HMR")) {
      HmrFileContents contents;
      EXPECT_NO_THROW(readHmrFile(w + "/" + name, contents)) << name;
    }
    after.erase(name);
  }
  EXPECT_EQ(after, before);
  // A loaded package writes its settings; a store no package is listed in stays as it was.
  if (std::string(row.store) != "package.db" && std::string(row.store) != "damaged.db") {
    EXPECT_EQ(test_support::snapshotFolder(stores_.path()), storeBefore);
  }
}

const Row kRows[] = {
    // Scripts that are not regular readable files are refused before anything runs.
    {"script-is-a-folder", "", 2, {"cannot read script {W}/scripts: Is a directory"}, {},
     "plain.db", "{W}/scripts"},
    {"script-is-a-fifo", "", 2, {"cannot read script {W}/fifo.script: Not a regular file"}, {},
     "plain.db", "{W}/fifo.script"},
    {"script-is-a-device", "", 2, {"cannot read script /dev/zero: Not a regular file"}, {},
     "plain.db", "/dev/zero"},
    {"script-missing", "", 2, {"cannot read script {W}/none: No such file or directory"}, {},
     "plain.db", "{W}/none"},
    {"script-unreadable", "", 2, {"cannot read script {W}/secret.script: Permission denied"},
     {}, "plain.db", "{W}/secret.script"},
    // Time stays within the dates a data file holds; the offending line is named.
    {"advance-past-year-9999",
     "clock 2026-03-02T09:00:00\nadvance 1000000000000\n",
     2,
     {"line 2: advance 1000000000000 would take the clock past 9999-12-31T23:59:59"}},
    {"advance-that-would-overflow",
     "advance 9300000000000000\n",
     2,
     {"line 1: advance 9300000000000000 would take the clock past"}},
    {"advance-beyond-any-number",
     "advance 99999999999999999999\n",
     2,
     {"line 1: not a number of seconds: 99999999999999999999"}},
    {"clock-year-0",
     "clock 0000-06-01T12:00:00\n",
     2,
     {"line 1: the clock must be within 1899-12-30T00:00:00 to 9999-12-31T23:59:59"}},
    {"clock-before-1899-12-30",
     "clock 1899-12-29T23:59:59\n",
     2,
     {"line 1: the clock must be within 1899-12-30T00:00:00"}},
    {"shift-clock-past-year-9999",
     "clock 9999-12-31T23:00:00\nshift-clock 3600\n",
     2,
     {"line 2: shifting the clock by 3600 seconds would take it outside"}},
    {"clock-year-9999-runs-up-to-its-end",
     "clock 9999-12-31T23:59:00\nopen-project {W}/late.dpr\nadvance 59\nadvance 1\n",
     2,
     {"line 4: advance 1 would take the clock past"},
     {"late.HMR"},
     "package.db"},
    // A long advance costs the timer marks it fires, not its seconds.
    {"long-advance-finishes",
     "clock 1900-01-01T00:00:00\nopen-project {W}/long.dpr\nedit {W}/long.dpr\n"
     "advance 250000000000\nclose-project {W}/long.dpr\n",
     0,
     {},
     {"long.HMR"},
     "package.db"},
    // A project's data file that is a FIFO or a folder: shown as an error naming it, no hang.
    {"project-data-file-is-a-fifo",
     "open-project {W}/f.dpr\nclose-project {W}/f.dpr\n",
     0,
     {"Error reading HMR file {W}/f.HMR : Not a regular file"},
     {},
     "package.db"},
    {"project-data-file-is-a-folder",
     "open-project {W}/X.dpr\nclose-project {W}/X.dpr\n",
     0,
     {"Error reading HMR file {W}/X.HMR : Is a directory"},
     {},
     "package.db"},
    // The settings store.
    {"damaged-known-packages-entry",
     std::string("menu \"") + kMenu + "\"\n",
     0,
     {"Skipped the Known Packages entry {W}/Damaged.bpl", "is damaged (type 99)"},
     {},
     "damaged.db",
     "{W}/run.script",
     false,
     {"HMR Report"}},
    {"store-of-another-program", "", 1, {"is not an HMR settings store"}, {}, "foreign.db"},
    // Output that cannot be written is a failure.
    {"output-to-dev-full",
     std::string("menu \"") + kMenu + "\"\n",
     1,
     {"cannot write to standard output"},
     {},
     "package.db",
     "{W}/run.script",
     true},
};

INSTANTIATE_TEST_SUITE_P(HmrIde, HostileScriptTest, ::testing::ValuesIn(kRows),
                         test_support::rowName<Row>);

}  // namespace
}  // namespace hmr::ide_test
