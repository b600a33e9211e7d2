// SPDX-License-Identifier: MIT
// `hmr` over hostile and unusual input, one table row per input: every row states the exit
// status, what the messages must name, and that the run wrote nothing (the folders are
// compared before and after). Each run has a time limit, so a program that hangs fails its row.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/HMRFileIO.h"
#include "platform/SqliteSettingsStore.h"
#include "tests/support/FolderSnapshot.h"
#include "tests/support/RawSqlite.h"
#include "tests/support/RowName.h"
#include "tests/support/RunProgram.h"
#include "tests/support/Sessions.h"
#include "tests/support/StoreEnvironment.h"
#include "tests/support/TempFolder.h"
#include "tests/support/UnwritableFile.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr std::chrono::seconds kLimit{20};

// One input and what `hmr` must do with it. In `args` and `says`, "{W}" stands for the folder
// of data files and "{S}" for the folder of settings stores.
struct Row {
  const char* input;
  std::vector<std::string> args;
  int status;
  std::vector<std::string> says;           // on standard error
  std::vector<std::string> prints = {};    // on standard output
  std::vector<std::string> neverSays = {};  // on either
  const char* store = "store.db";          // HMR_REGISTRY, in {S}
  bool outputToDevFull = false;
  bool readOnlyMount = false;  // {S}/ro is mounted read-only for the run
  bool lockedStore = false;    // the store file may be read but not written
};

std::string expand(std::string text, const std::string& work, const std::string& stores) {
  for (const auto& [mark, value] : {std::pair{"{W}", work}, std::pair{"{S}", stores}}) {
    for (std::size_t at; (at = text.find(mark)) != std::string::npos;)
      text.replace(at, 3, value);
  }
  return text;
}

void writeData(const std::string& path, const std::string& name, const std::string& user) {
  std::vector<TSessionData> sessions;
  sessions.push_back(test_support::makeSession(encodeDateTime(2026, 12, 7, 9, 0, 0), 3600, 0,
                                               false, user));
  writeHmrFile(path, 300, 60, name, sessions);
}

// Whether this machine lets us mount a folder read-only in a namespace of our own.
bool canMountReadOnly(const fs::path& scratch) {
  const auto run = test_support::runProgram(
      "/usr/bin/unshare", {"-rm", "sh", "-c", "mount --bind /tmp /tmp"}, scratch, {kLimit, {}});
  return run.status == 0;
}

class HostileInputTest : public ::testing::TestWithParam<Row> {
 protected:
  void SetUp() override {
    const std::string w = work_.path();
    writeData(w + "/A.HMR", "Alpha", "ann");
    fs::create_symlink(w + "/A.HMR", w + "/link.HMR");
    ASSERT_EQ(mkfifo((w + "/f.HMR").c_str(), 0600), 0);
    testing::writeBytes(w + "/Big.HMR", "");
    ASSERT_EQ(truncate((w + "/Big.HMR").c_str(), off_t{2} << 30), 0);  // sparse: costs no disk
    fs::create_directory(w + "/X.HMR");
    fs::create_directory(w + "/SomeFolder");
    writeData(w + "/billing.hmr", "Billing", "bob");
    fs::create_directory(w + "/A");
    writeData(w + "/A/Proj.HMR", "Upper", "ann");
    writeData(w + "/A/proj.HMR", "Lower", "bob");
    writeData(w + "/Odd.HMR", "Odd", "semi;colon\r\nand \"quotes\"");

    const std::string s = stores_.path();
    openSettingsStoreAt(s + "/store.db")->writeString(RegistryRoot::CurrentUser, "K", "v", "x");
    {
      auto damaged = openSettingsStoreAt(s + "/damaged.db");
      damaged->writeString(RegistryRoot::CurrentUser, "K", "good", "kept");
      damaged->writeString(RegistryRoot::CurrentUser, "K", "bad", "lost");
    }
    test_support::runSql(s + "/damaged.db", "UPDATE vals SET type=7 WHERE name='bad'");
    test_support::runSql(s + "/foreign.db", "CREATE TABLE t(x); INSERT INTO t VALUES(1)");
    fs::create_directory(s + "/locked");
    openSettingsStoreAt(s + "/locked/store.db")
        ->writeString(RegistryRoot::CurrentUser, "K", "v", "x");
    fs::create_directory(s + "/ro");
    openSettingsStoreAt(s + "/ro/store.db")->writeString(RegistryRoot::CurrentUser, "K", "v",
                                                         "x");
  }

  test_support::ProgramRun run(const Row& row) {
    const std::string hmr = HMR_CLI_PATH;
    std::vector<std::string> args;
    for (const std::string& arg : row.args)
      args.push_back(expand(arg, work_.path(), stores_.path()));
    std::string program = hmr;
    if (row.readOnlyMount) {
      const std::string folder = stores_.path() + "/ro";
      args.insert(args.begin(),
                  {"-rm", "sh", "-c",
                   "mount --bind \"$0\" \"$0\" && mount -o remount,bind,ro \"$0\" && shift && "
                   "exec \"$@\"",
                   folder, "--", hmr});
      program = "/usr/bin/unshare";
    }
    test_support::StoreEnvironment environment(stores_.path() + "/" + row.store, home_.path());
    return test_support::runProgram(program, args, runs_.path(),
                                    {kLimit, row.outputToDevFull ? "/dev/full" : ""});
  }

  // The stores' folder without SQLite's own shared-memory and log files, which a reader of a
  // store in WAL mode may make: the store files themselves must not change.
  std::map<std::string, std::string> storeFiles() const {
    auto entries = test_support::snapshotFolder(stores_.path());
    std::erase_if(entries, [](const auto& entry) {
      return entry.first.ends_with("-shm") || entry.first.ends_with("-wal");
    });
    return entries;
  }

  testing::TempFolder work_;
  testing::TempFolder stores_;
  testing::TempFolder home_;
  testing::TempFolder runs_;
};

TEST_P(HostileInputTest, RefusedClearlyInTimeWritingNothing) {
  const Row& row = GetParam();
  if (row.readOnlyMount && !canMountReadOnly(runs_.path()))
    GTEST_SKIP() << "no mount namespace here";
  std::optional<test_support::UnwritableFile> locked;
  if (row.lockedStore) {
    locked.emplace(stores_.path() + "/locked/store.db");
    if (!locked->locked()) GTEST_SKIP() << "cannot make a file unwritable here";
  }
  const auto workBefore = test_support::snapshotFolder(work_.path());
  const auto storesBefore = storeFiles();

  const test_support::ProgramRun result = run(row);
  locked.reset();

  EXPECT_FALSE(result.timedOut) << "still running after " << kLimit.count() << " s";
  EXPECT_EQ(result.status, row.status) << result.err;
  for (const std::string& text : row.says)
    EXPECT_THAT(result.err, HasSubstr(expand(text, work_.path(), stores_.path())));
  for (const std::string& text : row.prints)
    EXPECT_THAT(result.out, HasSubstr(expand(text, work_.path(), stores_.path())));
  for (const std::string& text : row.neverSays)
    EXPECT_THAT(result.err + result.out, Not(HasSubstr(text)));
  EXPECT_EQ(test_support::snapshotFolder(work_.path()), workBefore);
  EXPECT_EQ(storeFiles(), storesBefore);
}

const Row kRows[] = {
    // A FIFO as data file: refused at once, never waited on.
    {"fifo-check", {"check", "{W}/f.HMR"}, 1, {"{W}/f.HMR : Not a regular file"}},
    {"fifo-dump", {"dump", "{W}/f.HMR"}, 1, {"{W}/f.HMR : Not a regular file"}},
    {"fifo-report", {"report", "{W}/f.HMR"}, 1, {"{W}/f.HMR : Not a regular file"}},
    // Devices and huge files: refused before any byte is read.
    {"dev-zero-check", {"check", "/dev/zero"}, 1, {"/dev/zero : Not a regular file"}},
    {"dev-zero-report", {"report", "/dev/zero"}, 1, {"/dev/zero : Not a regular file"}},
    {"huge-check", {"check", "{W}/Big.HMR"}, 1, {"{W}/Big.HMR : File too large"}},
    {"huge-dump", {"dump", "{W}/Big.HMR"}, 1, {"{W}/Big.HMR : File too large"}},
    {"huge-report", {"report", "{W}/Big.HMR"}, 1, {"{W}/Big.HMR : File too large"}},
    // A merge whose side does not read names the side and writes nothing: git then reports
    // a conflict.
    {"merge-fifo-theirs",
     {"merge", "{W}/A.HMR", "{W}/billing.hmr", "{W}/f.HMR"},
     1,
     {"Cannot merge: THEIRS does not read as an HMR data file", "{W}/f.HMR : Not a regular file"}},
    {"merge-huge-base",
     {"merge", "{W}/Big.HMR", "{W}/A.HMR", "{W}/billing.hmr"},
     1,
     {"Cannot merge: BASE does not read", "{W}/Big.HMR : File too large"}},
    {"merge-device-ours",
     {"merge", "{W}/A.HMR", "/dev/zero", "{W}/A.HMR"},
     1,
     {"Cannot merge: OURS does not read", "/dev/zero : Not a regular file"}},
    {"merge-folder-ours",
     {"merge", "{W}/A.HMR", "{W}/X.HMR", "{W}/A.HMR"},
     1,
     {"Cannot merge: OURS does not read", "{W}/X.HMR : Is a directory"}},
    {"merge-missing-ours",
     {"merge", "{W}/A.HMR", "{W}/None.HMR", "{W}/A.HMR"},
     1,
     {"{W}/None.HMR : No such file or directory"}},
    // git's text view goes on past a file that is not a data file, saying so.
    {"textconv-fifo",
     {"dump", "--textconv", "{W}/f.HMR"},
     0,
     {},
     {"not a readable HMR data file: Error reading HMR file {W}/f.HMR : Not a regular file"}},
    {"dump-text-to-dev-full",
     {"dump", "--text", "{W}/A.HMR"},
     1,
     {"cannot write"},
     {},
     {},
     "store.db",
     true},
    // A report over a folder: the FIFO and the huge file are named and left out, the link to
    // A.HMR is A.HMR once, the folder named X.HMR is a folder.
    {"report-recursive",
     {"report", "--recursive", "{W}", "--format", "json"},
     1,
     {"Error reading HMR file {W}/f.HMR : Not a regular file",
      "Error reading HMR file {W}/Big.HMR : File too large"},
     {"\"name\": \"Upper\"", "\"name\": \"Lower\"", "\"name\": \"Billing\"",
      "\"name\": \"Odd\"", "{\"name\": \"Alpha\", \"fileName\": \"{W}/A.HMR\"}"},
     {"link.HMR", "X.HMR"}},
    {"report-recursive-on-a-file",
     {"report", "-r", "{W}/A.HMR"},
     1,
     {"hmr report: {W}/A.HMR is not a folder"}},
    // The report never overwrites one of its inputs, by its name or through a link.
    {"output-is-input",
     {"report", "-o", "{W}/A.HMR", "{W}/A.HMR"},
     2,
     {"{W}/A.HMR is one of the data files read"}},
    {"output-is-input-via-link",
     {"report", "-o", "{W}/link.HMR", "{W}/billing.hmr", "{W}/A.HMR"},
     2,
     {"{W}/link.HMR is one of the data files read"}},
    // A folder named like a data file is an error naming it, in every command.
    {"folder-check", {"check", "{W}/X.HMR"}, 1, {"{W}/X.HMR : Is a directory"}},
    {"folder-dump", {"dump", "{W}/X.HMR"}, 1, {"{W}/X.HMR : Is a directory"}},
    {"folder-report", {"report", "{W}/X.HMR"}, 1, {"{W}/X.HMR : Is a directory"}},
    {"folder-report-plain-name",
     {"report", "{W}/SomeFolder"},
     1,
     {"Error reading HMR file {W}/SomeFolder : Is a directory"},
     {},
     {"SomeFolder.HMR"}},
    // A named file is read under that very name.
    {"lower-case-extension-report",
     {"report", "{W}/billing.hmr"},
     0,
     {},
     {"Billing ({W}/billing.hmr)"},
     {"billing.HMR"}},
    {"lower-case-extension-check", {"check", "{W}/billing.hmr"}, 0, {}, {"billing.hmr: ok"}},
    // Names differing in case are two files, so two projects.
    {"names-differing-in-case",
     {"report", "--format", "json", "{W}/A/Proj.HMR", "{W}/A/proj.HMR"},
     0,
     {},
     {"\"name\": \"Upper\"", "\"name\": \"Lower\""}},
    {"same-file-twice-is-one-project",
     {"report", "--group-by", "username", "{W}/A.HMR", "{W}/link.HMR"},
     0,
     {},
     {"Project Group:\r\n  Alpha ({W}/A.HMR)\r\n\r\n"}},
    // Enumerated options in any letter case, or refused.
    {"format-upper-case", {"report", "--format", "CSV", "{W}/A.HMR"}, 0, {}, {"Open Date/Time;"}},
    {"format-mixed-case", {"report", "--format", "Json", "{W}/A.HMR"}, 0, {}, {"\"level\""}},
    {"format-clipboard",
     {"report", "--format", "Clipboard", "{W}/A.HMR"},
     0,
     {},
     {"Open Date/Time      Close Date/Time"}},
    {"format-unknown", {"report", "--format", "xml", "{W}/A.HMR"}, 2, {"--format", "xml"}},
    {"order-upper-case",
     {"report", "--order", "DESC", "--unit", "MIN", "--format", "json", "{W}/A.HMR"},
     0,
     {},
     {"\"order\": \"Desc\"", "\"unit\": \"min\""}},
    // CSV fields that hold the separator, quotes or line breaks keep their row's columns.
    {"csv-quoting",
     {"report", "--format", "csv", "{W}/Odd.HMR"},
     0,
     {},
     {";\"semi;colon\r\nand \"\"quotes\"\" \";"}},
    // Output that cannot be written is a failure.
    {"check-to-dev-full",
     {"check", "{W}/A.HMR"},
     1,
     {"cannot write to standard output"},
     {},
     {},
     "store.db",
     true},
    {"dump-to-dev-full", {"dump", "{W}/A.HMR"}, 1, {"cannot write"}, {}, {}, "store.db", true},
    {"report-to-dev-full",
     {"report", "{W}/A.HMR"},
     1,
     {"standard output"},
     {},
     {},
     "store.db",
     true},
    {"registry-list-to-dev-full",
     {"registry", "list"},
     1,
     {"cannot write to standard output"},
     {},
     {},
     "store.db",
     true},
    // The settings store: refused files stay as they are; damaged values are skipped.
    {"store-of-another-program",
     {"registry", "list"},
     1,
     {"{S}/foreign.db", "is not an HMR settings store"},
     {},
     {},
     "foreign.db"},
    {"store-is-a-folder", {"registry", "list"}, 1, {"{S}/ro", "is a folder"}, {}, {}, "ro"},
    {"store-is-a-device",
     {"registry", "list"},
     1,
     {"/dev/zero", "not a regular file"},
     {},
     {},
     "../../../../dev/zero"},
    {"store-with-a-damaged-value",
     {"registry", "list", "HKCU\\K"},
     1,
     {"value \"bad\" of key HKEY_CURRENT_USER\\K is damaged"},
     {"good    REG_SZ    \"kept\""},
     {},
     "damaged.db"},
    {"store-with-a-damaged-value-get-other",
     {"registry", "get", "HKCU\\K", "good"},
     0,
     {},
     {"kept"},
     {},
     "damaged.db"},
    {"store-that-cannot-be-written-list",
     {"registry", "get", "HKCU\\K", "v"},
     0,
     {},
     {"x"},
     {},
     "locked/store.db",
     false,
     false,
     true},
    {"store-that-cannot-be-written-set",
     {"registry", "delete", "HKCU\\K", "v"},
     1,
     {"{S}/locked/store.db", "open for reading only"},
     {},
     {},
     "locked/store.db",
     false,
     false,
     true},
    {"store-on-read-only-mount-list",
     {"registry", "list", "HKCU\\K"},
     0,
     {},
     {"v    REG_SZ    \"x\""},
     {"No such file"},
     "ro/store.db",
     false,
     true},
    {"store-on-read-only-mount-set",
     {"registry", "set", "HKCU\\K", "w", "--string", "y"},
     1,
     {"{S}/ro/store.db", "open for reading only", "Read-only file system"},
     {},
     {},
     "ro/store.db",
     false,
     true},
};

INSTANTIATE_TEST_SUITE_P(Hmr, HostileInputTest, ::testing::ValuesIn(kRows),
                         test_support::rowName<Row>);

}  // namespace
}  // namespace hmr
