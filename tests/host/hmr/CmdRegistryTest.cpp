// SPDX-License-Identifier: MIT
// `hmr registry`, run as the real program against a settings store in a temporary folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/SqliteSettingsStore.h"
#include "tests/support/RunProgram.h"
#include "tests/support/StoreEnvironment.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;
using test_support::ProgramRun;
using ::testing::HasSubstr;

class CmdRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
    store_ = (dir_ / "store" / "registry.db").string();
    // The program must never reach the real ~/.config, whatever it does with these.
    environment_.emplace(store_, dir_.string());
  }
  void TearDown() override {
    environment_.reset();
  }

  ProgramRun hmr(const std::vector<std::string>& args,
                 const test_support::RunOptions& options = {}) {
    std::vector<std::string> all{"registry"};
    all.insert(all.end(), args.begin(), args.end());
    return test_support::runProgram(HMR_CLI_PATH, all, dir_, options);
  }

  // The names in the store's folder.
  std::vector<std::string> storeFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(store_).parent_path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  hmr::testing::TempFolder scratch_;
  fs::path dir_;
  std::string store_;
  std::optional<test_support::StoreEnvironment> environment_;
};

TEST_F(CmdRegistryTest, ValuesOfBothTypesRoundTrip) {
  const std::string key = "HKLM\\SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5";
  ASSERT_EQ(hmr({"set", key, "Users", "--string", "Ann\r\nBob\r\n"}).status, 0);
  ASSERT_EQ(hmr({"set", key, "ShowDialog", "--dword", "0x10"}).status, 0);
  ASSERT_EQ(hmr({"set", key, "Max", "--dword", "4294967295"}).status, 0);
  EXPECT_TRUE(fs::is_regular_file(store_));

  ProgramRun get = hmr({"get", key, "users"});
  EXPECT_EQ(get.status, 0);
  EXPECT_EQ(get.out, "Ann\r\nBob\r\n\n");
  EXPECT_EQ(hmr({"get", key, "ShowDialog"}).out, "16\n");
  EXPECT_EQ(hmr({"get", key, "SHOWDIALOG", "--dword"}).out, "16\n");
  EXPECT_EQ(hmr({"get", key, "Max"}).out, "4294967295\n");

  // What the program wrote is what the store reads.
  SqliteSettingsStore store(store_);
  EXPECT_EQ(store.readString(RegistryRoot::LocalMachine, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5",
                             "Users"),
            "Ann\r\nBob\r\n");
  EXPECT_EQ(store.readDword(RegistryRoot::LocalMachine, "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5",
                            "ShowDialog"),
            16u);

  ProgramRun list = hmr({"list", "hkey_local_machine\\SOFTWARE\\CorvaneSW"});
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(list.out,
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\CorvaneSW\n"
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\CorvaneSW\\HMR\n"
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\CorvaneSW\\HMR\\2.0\n"
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5\n"
            "    Max    REG_DWORD    0xffffffff (4294967295)\n"
            "    ShowDialog    REG_DWORD    0x00000010 (16)\n"
            "    Users    REG_SZ    \"Ann\\r\\nBob\\r\\n\"\n");

  EXPECT_EQ(hmr({"delete", key, "ShowDialog"}).status, 0);
  ProgramRun gone = hmr({"get", key, "ShowDialog"});
  EXPECT_EQ(gone.status, 1);
  EXPECT_THAT(gone.err, HasSubstr("value \"ShowDialog\" of key"));
  EXPECT_THAT(gone.err, HasSubstr("does not exist"));
  EXPECT_EQ(hmr({"get", key, "Users"}).status, 0);

  EXPECT_EQ(hmr({"delete", "HKLM\\SOFTWARE\\CorvaneSW"}).status, 0);
  ProgramRun listGone = hmr({"list", key});
  EXPECT_EQ(listGone.status, 1);
  EXPECT_THAT(listGone.err, HasSubstr("key HKEY_LOCAL_MACHINE\\SOFTWARE\\CorvaneSW\\HMR\\2.0"));
  EXPECT_EQ(hmr({"list", "HKLM"}).out, "HKEY_LOCAL_MACHINE\nHKEY_LOCAL_MACHINE\\SOFTWARE\n");
}

TEST_F(CmdRegistryTest, WrongTypeGetIsRefused) {
  ASSERT_EQ(hmr({"set", "HKCU\\K", "Flag", "--dword", "1"}).status, 0);
  ASSERT_EQ(hmr({"set", "HKCU\\K", "Text", "--string", "1"}).status, 0);
  ProgramRun asString = hmr({"get", "HKCU\\K", "Flag", "--string"});
  EXPECT_EQ(asString.status, 1);
  EXPECT_EQ(asString.out, "");
  EXPECT_THAT(asString.err, HasSubstr(store_));
  EXPECT_THAT(asString.err,
              HasSubstr("value \"Flag\" of key HKEY_CURRENT_USER\\K is REG_DWORD, not REG_SZ"));
  ProgramRun asDword = hmr({"get", "HKCU\\K", "Text", "--dword"});
  EXPECT_EQ(asDword.status, 1);
  EXPECT_THAT(asDword.err, HasSubstr("is REG_SZ, not REG_DWORD"));
}

TEST_F(CmdRegistryTest, DefaultValueAndRootNamesInAnyCase) {
  ASSERT_EQ(hmr({"set", "hkcr\\.hmr", "", "--string", "hmrfile"}).status, 0);
  EXPECT_EQ(hmr({"get", "HKEY_CLASSES_ROOT\\.HMR", ""}).out, "hmrfile\n");
  EXPECT_EQ(hmr({"get", "Hkey_Classes_Root\\.hmr", "", "--string"}).out, "hmrfile\n");
  EXPECT_EQ(hmr({"list", "HKCR\\.hmr"}).out,
            "HKEY_CLASSES_ROOT\\.hmr\n    (Default)    REG_SZ    \"hmrfile\"\n");
  ASSERT_EQ(hmr({"set", "HKCU", "AtRoot", "--string", ""}).status, 0);
  EXPECT_EQ(hmr({"get", "HKCU", "atroot"}).out, "\n");
  EXPECT_EQ(hmr({"delete", "HKCR\\.hmr", ""}).status, 0);
  EXPECT_EQ(hmr({"get", "HKCR\\.hmr", ""}).status, 1);
}

TEST_F(CmdRegistryTest, ListWithoutKeyShowsTheThreeRoots) {
  ASSERT_EQ(hmr({"set", "HKCU\\A", "v", "--string", "x"}).status, 0);
  EXPECT_EQ(hmr({"list"}).out,
            "HKEY_LOCAL_MACHINE\n"
            "HKEY_CURRENT_USER\n"
            "HKEY_CURRENT_USER\\A\n"
            "    v    REG_SZ    \"x\"\n"
            "HKEY_CLASSES_ROOT\n");
}

TEST_F(CmdRegistryTest, UsageErrorsExitWithTwoAndWriteNothing) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"set", "HKXX\\K", "v", "--string", "x"},
        {"set", "HKCU\\K", "v"},
        {"set", "HKCU\\K", "v", "--dword", "4294967296"},
        {"set", "HKCU\\K", "v", "--dword", "-1"},
        {"set", "HKCU\\K", "v", "--dword", "12abc"},
        {"set", "HKCU\\K", "v", "--dword", "1", "--string", "x"},
        {"get", "HKCU\\K"},
        {"get", "HKCU\\K", "v", "--string", "--dword"},
        {"delete"},
        {"frobnicate"},
        {}}) {
    const ProgramRun run = hmr(args);
    EXPECT_EQ(run.status, 2) << ::testing::PrintToString(args) << run.err;
    EXPECT_FALSE(run.err.empty());
  }
  EXPECT_EQ(hmr({"list"}).out, "HKEY_LOCAL_MACHINE\nHKEY_CURRENT_USER\nHKEY_CLASSES_ROOT\n");
}

TEST_F(CmdRegistryTest, FailuresExitWithOne) {
  EXPECT_EQ(hmr({"delete", "HKCU\\Missing"}).status, 1);
  EXPECT_EQ(hmr({"delete", "HKCU\\Missing", "v"}).status, 1);
  const ProgramRun root = hmr({"delete", "HKCU"});
  EXPECT_EQ(root.status, 1);
  EXPECT_THAT(root.err, HasSubstr("cannot delete the root key HKEY_CURRENT_USER"));

  std::ofstream(dir_ / "plain") << "x";
  const std::string blocked = (dir_ / "plain" / "registry.db").string();
  setenv("HMR_REGISTRY", blocked.c_str(), 1);
  const ProgramRun unopenable = hmr({"list"});
  EXPECT_EQ(unopenable.status, 1);
  EXPECT_THAT(unopenable.err, HasSubstr(blocked));
  EXPECT_THAT(unopenable.err, HasSubstr("Not a directory"));
}

// A store that another user may read but not write: `list` and `get` work for that user, and
// leave nothing behind in the folder (no write-ahead log or journal of the reader's, which
// would lock the owner out of the store); a write fails naming why. Played as another account
// when the test runs as root, else with the write permissions taken away. Once with a folder
// the reader cannot write, once with one all may write (as /tmp).
TEST_F(CmdRegistryTest, AStoreOfAnotherUserIsReadWithoutLeavingFilesBehind) {
  const std::string key = "HKLM\\SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5";
  ASSERT_EQ(hmr({"set", key, "Users", "--string", "Ann\r\nBob\r\n"}).status, 0);
  ASSERT_EQ(hmr({"set", key, "ShowDialog", "--dword", "1"}).status, 0);
  const ProgramRun owners = hmr({"list", key});
  ASSERT_EQ(owners.status, 0);
  const std::vector<std::string> before = storeFolder();
  ASSERT_EQ(before, std::vector<std::string>{"registry.db"});

  test_support::RunOptions reader;
  const bool asOther = test_support::otherAccount(reader.user, reader.group);
  const fs::path folder = fs::path(store_).parent_path();
  for (const bool folderWritable : {false, true}) {
    SCOPED_TRACE(folderWritable ? "a folder all may write" : "a folder the reader cannot write");
    if (asOther) {
      fs::permissions(dir_, fs::perms::owner_all | fs::perms::others_read |
                                fs::perms::others_exec);
      fs::permissions(folder, folderWritable ? fs::perms::all | fs::perms::sticky_bit
                                             : fs::perms::owner_all | fs::perms::others_read |
                                                   fs::perms::others_exec);
    } else {
      fs::permissions(store_, fs::perms::owner_read | fs::perms::group_read);
      fs::permissions(folder, folderWritable ? fs::perms::owner_all
                                             : fs::perms::owner_read | fs::perms::owner_exec);
    }
    const ProgramRun list = hmr({"list", key}, reader);
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out, owners.out);
    const ProgramRun get = hmr({"get", key, "Users"}, reader);
    EXPECT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(get.out, "Ann\r\nBob\r\n\n");
    const ProgramRun set = hmr({"set", key, "Users", "--string", "Eve"}, reader);
    EXPECT_EQ(set.status, 1);
    EXPECT_THAT(set.err, HasSubstr("the store is open for reading only"));
    EXPECT_EQ(storeFolder(), before);
    fs::permissions(store_, fs::perms::owner_read | fs::perms::owner_write |
                                fs::perms::group_read | fs::perms::others_read);
    fs::permissions(folder, fs::perms::owner_all);
  }
  EXPECT_EQ(hmr({"get", key, "Users"}).out, "Ann\r\nBob\r\n\n");  // the owner's as it was
}

TEST_F(CmdRegistryTest, HelpEverywhere) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"},
        {"list", "--help"},
        {"get", "--help"},
        {"set", "--help"},
        {"delete", "--help"}}) {
    const ProgramRun run = hmr(args);
    EXPECT_EQ(run.status, 0) << ::testing::PrintToString(args);
    EXPECT_THAT(run.out, HasSubstr("Usage:"));
  }
  EXPECT_FALSE(fs::exists(store_));
}

}  // namespace
}  // namespace hmr
