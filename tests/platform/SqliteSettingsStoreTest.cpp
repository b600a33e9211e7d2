// SPDX-License-Identifier: MIT
#include "platform/SqliteSettingsStore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "platform/HmrError.h"
#include "platform/ScopedEnvironment.h"
#include "tests/support/RawSqlite.h"
#include "tests/support/TempFolder.h"
#include "tests/support/UnwritableFile.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

constexpr RegistryRoot HKCU = RegistryRoot::CurrentUser;
constexpr RegistryRoot HKLM = RegistryRoot::LocalMachine;
constexpr RegistryRoot HKCR = RegistryRoot::ClassesRoot;

class SqliteSettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
    file_ = (dir_ / "registry.db").string();
  }

  // The message of the HmrError that `action` throws ("" when it throws none).
  template <typename Action>
  static std::string errorOf(Action&& action) {
    try {
      action();
    } catch (const HmrError& e) {
      return e.what();
    }
    return "";
  }

  hmr::testing::TempFolder scratch_;
  fs::path dir_;
  std::string file_;
};

TEST_F(SqliteSettingsStoreTest, StringsAndDwordsSurviveReopening) {
  const std::string text = std::string("Ann\r\nbob\r\nnul:") + '\0' + "end \xC3\xA4";
  {
    SqliteSettingsStore store(file_);
    store.writeString(HKLM, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5", "Users", text);
    store.writeDword(HKLM, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5", "ShowDialog", 1);
    store.writeDword(HKLM, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5", "Max", 0xFFFFFFFFu);
    store.writeString(HKLM, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5", "Empty", "");
  }
  SqliteSettingsStore store(file_);
  EXPECT_EQ(store.readString(HKLM, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5", "Users"), text);
  EXPECT_EQ(store.readDword(HKLM, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5", "ShowDialog"), 1u);
  EXPECT_EQ(store.readDword(HKLM, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5", "Max"), 0xFFFFFFFFu);
  EXPECT_EQ(store.readString(HKLM, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5", "Empty"), "");
  EXPECT_TRUE(store.valueExists(HKLM, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5", "Empty"));
  EXPECT_EQ(store.readString(HKLM, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5", "Missing"),
            std::nullopt);
  EXPECT_EQ(store.readDword(HKLM, "SOFTWARE\\Nowhere", "ShowDialog"), std::nullopt);
  EXPECT_FALSE(store.valueExists(HKLM, "SOFTWARE\\Nowhere", "ShowDialog"));
}

TEST_F(SqliteSettingsStoreTest, RewritingReplacesDataAndType) {
  SqliteSettingsStore store(file_);
  store.writeString(HKCU, "K", "V", "first");
  store.writeString(HKCU, "K", "V", "second");
  EXPECT_EQ(store.readString(HKCU, "K", "V"), "second");
  store.writeDword(HKCU, "K", "V", 7);
  EXPECT_EQ(store.readDword(HKCU, "K", "V"), 7u);
  ASSERT_EQ(store.values(HKCU, "K").size(), 1u);
}

TEST_F(SqliteSettingsStoreTest, KeysAndNamesIgnoreCaseButKeepTheirFirstCase) {
  SqliteSettingsStore store(file_);
  store.createKey(HKLM, "Software\\CorvaneSW");
  store.writeString(HKLM, "SOFTWARE\\CORVANESW\\Hmr", "Users", "a");
  store.writeString(HKLM, "software\\corvanesw\\HMR", "USERS", "b");
  EXPECT_EQ(store.readString(HKLM, "SoFtWaRe\\cOrVaNeSw\\hmr", "users"), "b");
  EXPECT_TRUE(store.keyExists(HKLM, "SOFTWARE\\corvanesw\\hMr"));
  EXPECT_EQ(store.subKeys(HKLM, ""), std::vector<std::string>{"Software"});
  EXPECT_EQ(store.subKeys(HKLM, "SOFTWARE"), std::vector<std::string>{"CorvaneSW"});
  EXPECT_EQ(store.subKeys(HKLM, "software\\CORVANESW"), std::vector<std::string>{"Hmr"});
  const auto values = store.values(HKLM, "SOFTWARE\\CorvaneSW\\HMR");
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, "Users");
  EXPECT_EQ(values[0].text, "b");
}

TEST_F(SqliteSettingsStoreTest, CaseFoldingIsAsciiOnly) {
  SqliteSettingsStore store(file_);
  store.writeString(HKCU, "K", "\xC3\x84", "upper");  // "Ä"
  store.writeString(HKCU, "K", "\xC3\xA4", "lower");  // "ä"
  EXPECT_EQ(store.readString(HKCU, "k", "\xC3\x84"), "upper");
  EXPECT_EQ(store.values(HKCU, "K").size(), 2u);
}

TEST_F(SqliteSettingsStoreTest, LeadingBackslashIsIgnoredAndEmptyPathIsTheRoot) {
  SqliteSettingsStore store(file_);
  store.writeString(HKCU, "\\SOFTWARE\\X", "", "default");
  EXPECT_EQ(store.readString(HKCU, "SOFTWARE\\X", ""), "default");
  EXPECT_EQ(store.readString(HKCU, "\\SOFTWARE\\X\\", ""), "default");
  EXPECT_TRUE(store.keyExists(HKCU, ""));
  EXPECT_TRUE(store.keyExists(HKCU, "\\"));
  store.writeDword(HKCU, "", "AtRoot", 3);
  EXPECT_EQ(store.readDword(HKCU, "\\", "atroot"), 3u);
  EXPECT_EQ(store.subKeys(HKCU, "\\"), std::vector<std::string>{"SOFTWARE"});
}

TEST_F(SqliteSettingsStoreTest, WritingCreatesEveryParentKey) {
  SqliteSettingsStore store(file_);
  EXPECT_FALSE(store.keyExists(HKCR, "hmrfile"));
  store.writeString(HKCR, "hmrfile\\Shell\\open\\command", "", "viewer %1");
  for (const char* key : {"hmrfile", "hmrfile\\Shell", "hmrfile\\Shell\\open",
                          "hmrfile\\Shell\\open\\command"})
    EXPECT_TRUE(store.keyExists(HKCR, key)) << key;
  EXPECT_TRUE(store.values(HKCR, "hmrfile\\Shell").empty());
  store.createKey(HKCR, ".hmr\\a\\b");
  EXPECT_TRUE(store.keyExists(HKCR, ".hmr\\a"));
  EXPECT_TRUE(store.values(HKCR, ".hmr\\a\\b").empty());
}

TEST_F(SqliteSettingsStoreTest, RootsAreSeparate) {
  SqliteSettingsStore store(file_);
  store.writeString(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0", "V", "user");
  EXPECT_FALSE(store.keyExists(HKLM, "SOFTWARE"));
  EXPECT_FALSE(store.keyExists(HKCR, "SOFTWARE"));
  EXPECT_EQ(store.readString(HKLM, "SOFTWARE\\Borland\\Delphi\\5.0", "V"), std::nullopt);
  store.writeString(HKLM, "SOFTWARE\\Borland\\Delphi\\5.0", "V", "machine");
  EXPECT_EQ(store.readString(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0", "V"), "user");
}

TEST_F(SqliteSettingsStoreTest, ReadingTheWrongTypeFailsNamingEverything) {
  SqliteSettingsStore store(file_);
  store.writeDword(HKLM, "SOFTWARE\\CorvaneSW", "ShowDialog", 1);
  store.writeString(HKLM, "SOFTWARE\\CorvaneSW", "Users", "x");
  const std::string asString =
      errorOf([&] { store.readString(HKLM, "SOFTWARE\\CorvaneSW", "showdialog"); });
  EXPECT_THAT(asString, HasSubstr(file_));
  EXPECT_THAT(asString, HasSubstr("HKEY_LOCAL_MACHINE\\SOFTWARE\\CorvaneSW"));
  EXPECT_THAT(asString, HasSubstr("\"showdialog\""));
  EXPECT_THAT(asString, HasSubstr("is REG_DWORD, not REG_SZ"));
  const std::string asDword =
      errorOf([&] { store.readDword(HKLM, "SOFTWARE\\CorvaneSW", "Users"); });
  EXPECT_THAT(asDword, HasSubstr("is REG_SZ, not REG_DWORD"));
  EXPECT_THAT(asDword, HasSubstr(file_));
}

TEST_F(SqliteSettingsStoreTest, DeleteKeyRemovesEverythingBelowAndNothingBeside) {
  SqliteSettingsStore store(file_);
  store.writeString(HKCU, "A", "keep", "1");
  store.writeString(HKCU, "A\\B", "gone", "2");
  store.writeDword(HKCU, "A\\B\\C\\D", "gone", 3);
  // Siblings whose names sort right before and after "B\": a blank and "a" are on either side
  // of the backslash in byte order.
  store.writeString(HKCU, "A\\B C", "keep", "4");
  store.writeString(HKCU, "A\\Ba", "keep", "5");
  store.writeString(HKCU, "A\\B]", "keep", "6");
  store.writeString(HKLM, "A\\B", "other root", "7");
  store.deleteKey(HKCU, "a\\b");
  EXPECT_FALSE(store.keyExists(HKCU, "A\\B"));
  EXPECT_FALSE(store.keyExists(HKCU, "A\\B\\C"));
  EXPECT_FALSE(store.keyExists(HKCU, "A\\B\\C\\D"));
  EXPECT_FALSE(store.valueExists(HKCU, "A\\B\\C\\D", "gone"));
  EXPECT_EQ(store.readString(HKCU, "A", "keep"), "1");
  EXPECT_EQ(store.subKeys(HKCU, "A"), (std::vector<std::string>{"B C", "B]", "Ba"}));
  EXPECT_EQ(store.readString(HKCU, "A\\B C", "keep"), "4");
  EXPECT_EQ(store.readString(HKCU, "A\\Ba", "keep"), "5");
  EXPECT_EQ(store.readString(HKLM, "A\\B", "other root"), "7");
  // Writing below a deleted key makes it anew, without its old values.
  store.writeString(HKCU, "A\\B\\C", "new", "8");
  EXPECT_FALSE(store.valueExists(HKCU, "A\\B", "gone"));
}

TEST_F(SqliteSettingsStoreTest, DeletingMissingThingsIsNoErrorButTheRootCannotGo) {
  SqliteSettingsStore store(file_);
  store.deleteKey(HKCU, "Nowhere\\At\\All");
  store.deleteValue(HKCU, "Nowhere", "x");
  store.writeString(HKCU, "K", "x", "1");
  store.writeString(HKCU, "K", "y", "2");
  store.deleteValue(HKCU, "k", "X");
  EXPECT_FALSE(store.valueExists(HKCU, "K", "x"));
  EXPECT_TRUE(store.valueExists(HKCU, "K", "y"));
  EXPECT_THAT(errorOf([&] { store.deleteKey(HKCU, "\\"); }),
              HasSubstr("cannot delete the root key HKEY_CURRENT_USER"));
  EXPECT_TRUE(store.keyExists(HKCU, "K"));
}

TEST_F(SqliteSettingsStoreTest, ListingsAreInCaseInsensitiveOrder) {
  SqliteSettingsStore store(file_);
  for (const char* key : {"K\\b", "K\\A", "K\\c", "K\\c\\deeper", "L"}) store.createKey(HKCU, key);
  EXPECT_EQ(store.subKeys(HKCU, "k"), (std::vector<std::string>{"A", "b", "c"}));
  EXPECT_EQ(store.subKeys(HKCU, ""), (std::vector<std::string>{"K", "L"}));
  EXPECT_TRUE(store.subKeys(HKCU, "K\\A").empty());
  EXPECT_TRUE(store.subKeys(HKCU, "Missing").empty());
  store.writeString(HKCU, "K", "zeta", "z");
  store.writeDword(HKCU, "K", "Alpha", 42);
  store.writeString(HKCU, "K", "", "default");
  const auto values = store.values(HKCU, "K");
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0].name, "");
  EXPECT_EQ(values[0].text, "default");
  EXPECT_EQ(values[1].name, "Alpha");
  EXPECT_EQ(values[1].type, ValueType::Dword);
  EXPECT_EQ(values[1].dword, 42u);
  EXPECT_EQ(values[2].name, "zeta");
  EXPECT_EQ(values[2].type, ValueType::String);
  EXPECT_TRUE(store.values(HKCU, "Missing").empty());
}

TEST_F(SqliteSettingsStoreTest, UpdateStringReadsAndWritesOnce) {
  SqliteSettingsStore store(file_);
  std::optional<std::string> seen = "unset";
  store.updateString(HKLM, "K", "Users", [&](const std::optional<std::string>& current) {
    seen = current;
    return std::string("Ann\r\n");
  });
  EXPECT_EQ(seen, std::nullopt);
  store.updateString(HKLM, "K", "Users", [&](const std::optional<std::string>& current) {
    seen = current;
    return *current + "Bob\r\n";
  });
  EXPECT_EQ(seen, "Ann\r\n");
  EXPECT_EQ(store.readString(HKLM, "K", "Users"), "Ann\r\nBob\r\n");
}

TEST_F(SqliteSettingsStoreTest, UpdateStringRefusesWrongTypeAndRollsBackOnThrow) {
  SqliteSettingsStore store(file_);
  store.writeDword(HKLM, "K", "N", 5);
  bool called = false;
  const auto update = [&](const std::optional<std::string>&) {
    called = true;
    return std::string("x");
  };
  EXPECT_THAT(errorOf([&] { store.updateString(HKLM, "K", "N", update); }),
              HasSubstr("is REG_DWORD, not REG_SZ"));
  EXPECT_FALSE(called);
  EXPECT_EQ(store.readDword(HKLM, "K", "N"), 5u);
  EXPECT_THROW(store.updateString(HKLM, "New\\Key", "S",
                                  [](const std::optional<std::string>&) -> std::string {
                                    throw std::logic_error("no");
                                  }),
               std::logic_error);
  EXPECT_FALSE(store.keyExists(HKLM, "New"));
  store.writeString(HKLM, "K", "after", "still works");
  EXPECT_EQ(store.readString(HKLM, "K", "after"), "still works");
}

TEST_F(SqliteSettingsStoreTest, TwoHandlesSeeEachOthersWrites) {
  SqliteSettingsStore first(file_);
  SqliteSettingsStore second(file_);
  first.writeString(HKCU, "K", "a", "1");
  EXPECT_EQ(second.readString(HKCU, "k", "A"), "1");
  second.writeDword(HKCU, "K", "b", 2);
  second.deleteValue(HKCU, "K", "a");
  EXPECT_EQ(first.readDword(HKCU, "K", "b"), 2u);
  EXPECT_FALSE(first.valueExists(HKCU, "K", "a"));
  second.deleteKey(HKCU, "K");
  EXPECT_FALSE(first.keyExists(HKCU, "K"));
}

TEST_F(SqliteSettingsStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kValues = 100;
  constexpr int kIncrements = 100;
  { SqliteSettingsStore create(file_); }  // both children then open an existing store
  // Both children wait at this pipe until the parent closes it, so that they run together.
  int start[2];
  ASSERT_EQ(pipe(start), 0);
  pid_t children[2];
  for (int child = 0; child < 2; ++child) {
    children[child] = fork();
    ASSERT_GE(children[child], 0);
    if (children[child] == 0) {
      int status = 0;
      try {
        close(start[1]);
        char byte;
        if (read(start[0], &byte, 1) != 0) throw std::runtime_error("barrier");
        SqliteSettingsStore store(file_);
        for (int i = 0; i < kIncrements; ++i)
          store.updateString(HKCU, "Shared", "Counter",
                             [](const std::optional<std::string>& current) {
                               return std::to_string(current ? std::stoi(*current) + 1 : 1);
                             });
        for (int i = 0; i < kValues; ++i) {
          const std::string name = "p" + std::to_string(child) + "-" + std::to_string(i);
          store.writeString(HKCU, "Shared\\Key", name, name);
          store.writeDword(HKCU, "Shared\\Own" + std::to_string(child), name,
                           static_cast<std::uint32_t>(i));
        }
      } catch (...) {
        status = 1;
      }
      _exit(status);
    }
  }
  close(start[0]);
  close(start[1]);
  for (pid_t pid : children) {
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child failed: " << status;
  }
  SqliteSettingsStore store(file_);
  EXPECT_EQ(store.integrityCheck(), "ok");
  EXPECT_EQ(store.values(HKCU, "Shared\\Key").size(), 2u * kValues);
  for (int child = 0; child < 2; ++child) {
    const std::string own = "Shared\\Own" + std::to_string(child);
    ASSERT_EQ(store.values(HKCU, own).size(), std::size_t{kValues});
    for (int i = 0; i < kValues; ++i) {
      const std::string name = "p" + std::to_string(child) + "-" + std::to_string(i);
      ASSERT_EQ(store.readString(HKCU, "Shared\\Key", name), name);
      ASSERT_EQ(store.readDword(HKCU, own, name), static_cast<std::uint32_t>(i));
    }
  }
  EXPECT_EQ(store.readString(HKCU, "Shared", "Counter"), std::to_string(2 * kIncrements));
}

// Opening is where processes meet without the busy timeout's help: one may be creating the
// file or turning it to WAL mode, or closing the last connection (which checkpoints and
// removes the WAL file) while another opens it.
TEST_F(SqliteSettingsStoreTest, ProcessesOpeningAndClosingAtOnceAllSucceed) {
  constexpr int kRounds = 4;
  constexpr int kChildren = 3;
  constexpr int kOpens = 25;
  for (int round = 0; round < kRounds; ++round) {
    const std::string file = (dir_ / ("fresh" + std::to_string(round) + ".db")).string();
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    pid_t children[kChildren];
    for (int child = 0; child < kChildren; ++child) {
      children[child] = fork();
      ASSERT_GE(children[child], 0);
      if (children[child] == 0) {
        int status = 0;
        try {
          close(start[1]);
          char byte;
          if (read(start[0], &byte, 1) != 0) throw std::runtime_error("barrier");
          for (int i = 0; i < kOpens; ++i)
            SqliteSettingsStore(file).writeDword(HKCU, "K" + std::to_string(child),
                                                 "v" + std::to_string(i), 1);
        } catch (...) {
          status = 1;
        }
        _exit(status);
      }
    }
    close(start[0]);
    close(start[1]);
    for (pid_t pid : children) {
      int status = -1;
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
    }
    SqliteSettingsStore store(file);
    for (int child = 0; child < kChildren; ++child)
      EXPECT_EQ(store.values(HKCU, "K" + std::to_string(child)).size(), std::size_t{kOpens});
  }
}

TEST_F(SqliteSettingsStoreTest, PathComesFromHmrRegistryThenXdgThenHome) {
  ScopedEnvironment registry("HMR_REGISTRY", "/some/where/r.db");
  ScopedEnvironment xdg("XDG_CONFIG_HOME", "/xdg");
  ScopedEnvironment home("HOME", "/home/ann");
  EXPECT_EQ(defaultSettingsStorePath(), "/some/where/r.db");
  {
    ScopedEnvironment empty("HMR_REGISTRY", "");
    EXPECT_EQ(defaultSettingsStorePath(), "/xdg/hmr/registry.db");
  }
  {
    ScopedEnvironment unset("HMR_REGISTRY", nullptr);
    EXPECT_EQ(defaultSettingsStorePath(), "/xdg/hmr/registry.db");
    {
      ScopedEnvironment relative("XDG_CONFIG_HOME", "relative/config");  // not absolute: ignored
      EXPECT_EQ(defaultSettingsStorePath(), "/home/ann/.config/hmr/registry.db");
    }
    ScopedEnvironment noXdg("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(defaultSettingsStorePath(), "/home/ann/.config/hmr/registry.db");
  }
}

TEST_F(SqliteSettingsStoreTest, DefaultStoreCreatesItsFolder) {
  ScopedEnvironment registry("HMR_REGISTRY", nullptr);
  ScopedEnvironment xdg("XDG_CONFIG_HOME", nullptr);
  ScopedEnvironment home("HOME", dir_.c_str());
  ASSERT_FALSE(fs::exists(dir_ / ".config"));
  openDefaultSettingsStore()->writeString(HKCU, "K", "V", "home");
  EXPECT_TRUE(fs::is_regular_file(dir_ / ".config" / "hmr" / "registry.db"));

  const std::string xdgDir = (dir_ / "xdg" / "deep").string();
  ScopedEnvironment xdgSet("XDG_CONFIG_HOME", xdgDir.c_str());
  openDefaultSettingsStore()->writeString(HKCU, "K", "V", "xdg");
  EXPECT_TRUE(fs::is_regular_file(dir_ / "xdg" / "deep" / "hmr" / "registry.db"));

  const std::string own = (dir_ / "own" / "store.db").string();
  ScopedEnvironment registrySet("HMR_REGISTRY", own.c_str());
  openDefaultSettingsStore()->writeString(HKCU, "K", "V", "own");
  EXPECT_EQ(SqliteSettingsStore(own).readString(HKCU, "K", "V"), "own");
  EXPECT_EQ(SqliteSettingsStore((dir_ / ".config/hmr/registry.db").string())
                .readString(HKCU, "K", "V"),
            "home");
}

TEST_F(SqliteSettingsStoreTest, UnwritableLocationNamesPathAndCause) {
  const fs::path blocker = dir_ / "plain-file";
  std::ofstream(blocker) << "not a folder";
  const std::string below = (blocker / "hmr" / "registry.db").string();
  const std::string viaFolder = errorOf([&] { openSettingsStoreAt(below); });
  EXPECT_THAT(viaFolder, HasSubstr(below));
  EXPECT_THAT(viaFolder, HasSubstr("Not a directory"));

  const std::string direct = (blocker / "registry.db").string();
  const std::string viaOpen = errorOf([&] { SqliteSettingsStore store(direct); });
  EXPECT_THAT(viaOpen, HasSubstr("Settings store " + direct + ": cannot open the file"));
  EXPECT_THAT(viaOpen, HasSubstr("Not a directory"));

  ScopedEnvironment registry("HMR_REGISTRY", below.c_str());
  EXPECT_THAT(errorOf([] { openDefaultSettingsStore(); }), HasSubstr(below));
}

TEST_F(SqliteSettingsStoreTest, ADatabaseOfAnotherProgramIsRefusedBeforeAnythingChanges) {
  test_support::runSql(file_, "CREATE TABLE t(x); INSERT INTO t VALUES(1)");
  const std::string before = testing::readBytes(file_);
  const std::string message = errorOf([&] { SqliteSettingsStore store(file_); });
  EXPECT_THAT(message, HasSubstr(file_ + ": is not an HMR settings store"));
  EXPECT_EQ(testing::readBytes(file_), before);  // still in its own journal mode
  EXPECT_FALSE(fs::exists(file_ + "-wal"));
}

TEST_F(SqliteSettingsStoreTest, WhatIsNoFileIsRefusedByName) {
  EXPECT_THAT(errorOf([&] { SqliteSettingsStore store(dir_.string()); }),
              HasSubstr(dir_.string() + ": is a folder"));
  EXPECT_THAT(errorOf([&] { SqliteSettingsStore store("/dev/zero"); }),
              HasSubstr("/dev/zero: is not a regular file"));
}

TEST_F(SqliteSettingsStoreTest, DamagedValuesAreSkippedAndNamedTheOthersRead) {
  {
    SqliteSettingsStore store(file_);
    store.writeString(HKCU, "K", "a", "first");
    store.writeDword(HKCU, "K", "b", 7);
    store.writeString(HKCU, "K", "c", "third");
  }
  test_support::runSql(file_, "UPDATE vals SET type=9 WHERE name='a';"
                              "UPDATE vals SET data='x' WHERE name='b'");
  SqliteSettingsStore store(file_);
  std::vector<DamagedValue> damaged;
  const std::vector<SettingsValue> read = store.readableValues(HKCU, "K", damaged);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].text, "third");
  ASSERT_EQ(damaged.size(), 2u);
  EXPECT_EQ(damaged[0].name, "a");
  EXPECT_THAT(damaged[0].reason, HasSubstr("value \"a\" of key HKEY_CURRENT_USER\\K is damaged"));
  EXPECT_EQ(damaged[1].name, "b");
  EXPECT_THAT(errorOf([&] { store.values(HKCU, "K"); }), HasSubstr("is damaged"));
}

TEST_F(SqliteSettingsStoreTest, AStoreThatCannotBeWrittenIsReadAndWritesSayWhy) {
  SqliteSettingsStore(file_).writeString(HKCU, "K", "v", "kept");
  const std::string before = testing::readBytes(file_);
  test_support::UnwritableFile locked(file_);
  if (!locked.locked()) GTEST_SKIP() << "cannot make a file unwritable here";
  SqliteSettingsStore store(file_);
  EXPECT_EQ(store.readString(HKCU, "K", "v"), "kept");
  EXPECT_EQ(store.subKeys(HKCU, ""), std::vector<std::string>{"K"});
  const std::string message = errorOf([&] { store.writeString(HKCU, "K", "v", "new"); });
  EXPECT_THAT(message, HasSubstr(file_ + ": cannot write value \"v\""));
  EXPECT_THAT(message, HasSubstr("the store is open for reading only: "));
  EXPECT_THAT(errorOf([&] { store.deleteKey(HKCU, "K"); }), HasSubstr("reading only"));
  EXPECT_EQ(store.readString(HKCU, "K", "v"), "kept");
  EXPECT_EQ(testing::readBytes(file_), before);
  // The reader made no log of its own beside the store.
  EXPECT_FALSE(fs::exists(file_ + "-wal"));
  EXPECT_FALSE(fs::exists(file_ + "-shm"));
}

// While a writer has the store open, its log holds the latest values: a reader that may not
// write the store reads through the writer's log files, and sees what was committed last.
TEST_F(SqliteSettingsStoreTest, AReaderSeesWhatAWriterCommittedInItsLog) {
  SqliteSettingsStore writer(file_);
  writer.writeString(HKCU, "K", "v", "first");
  test_support::UnwritableFile locked(file_);
  if (!locked.locked()) GTEST_SKIP() << "cannot make a file unwritable here";
  writer.writeString(HKCU, "K", "v", "in the log");
  ASSERT_TRUE(fs::exists(file_ + "-wal"));
  SqliteSettingsStore reader(file_);
  EXPECT_EQ(reader.readString(HKCU, "K", "v"), "in the log");
  EXPECT_THAT(errorOf([&] { reader.writeString(HKCU, "K", "v", "x"); }),
              HasSubstr("reading only"));
}

TEST_F(SqliteSettingsStoreTest, AFileThatIsNoStoreIsRefusedAndLeftAlone) {
  // Short ones too: SQLite takes a file shorter than its header for an empty database.
  for (const std::size_t size : {std::size_t{4096}, std::size_t{1}, std::size_t{99}}) {
    const std::string text(size, 'x');
    std::ofstream(file_, std::ios::binary | std::ios::trunc) << text;
    const std::string message = errorOf([&] { SqliteSettingsStore store(file_); });
    EXPECT_THAT(message, HasSubstr(file_));
    EXPECT_THAT(message, HasSubstr("not a database"));
    std::ifstream in(file_, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text) << size;
  }
  // An empty file becomes a store.
  std::ofstream(file_, std::ios::binary | std::ios::trunc).flush();
  SqliteSettingsStore(file_).writeString(HKCU, "K", "v", "x");
  EXPECT_EQ(SqliteSettingsStore(file_).readString(HKCU, "K", "v"), "x");
}

}  // namespace
}  // namespace hmr
