// SPDX-License-Identifier: MIT
#include "core/UserDialogModel.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "core/HeadlessTrackerUi.h"
#include "core/uHMRUsers.h"
#include "platform/MemorySettingsStore.h"
#include "platform/SqliteSettingsStore.h"
#include "platform/SystemFacts.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

constexpr RegistryRoot kRoot = RegistryRoot::LocalMachine;
const std::string kKey = "\\SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5";

class UserDialogTest : public ::testing::Test {
 protected:
  std::string storedUsers() { return store.readString(kRoot, kKey, "Users").value_or("<none>"); }

  MemorySettingsStore store;
};

TEST(UserList, SortedWithoutCaseDuplicates) {
  std::vector<std::string> names;
  EXPECT_EQ(addSortedUnique(names, "carl"), 0);
  EXPECT_EQ(addSortedUnique(names, "Bob"), 0);
  EXPECT_EQ(addSortedUnique(names, "anna"), 0);
  EXPECT_EQ(addSortedUnique(names, "BOB"), 1);  // found, not added
  EXPECT_EQ(names, (std::vector<std::string>{"anna", "Bob", "carl"}));
  EXPECT_EQ(joinLines(names), "anna\r\nBob\r\ncarl\r\n");
  EXPECT_EQ(splitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(splitLines("a\r\n"), std::vector<std::string>{"a"});
  EXPECT_TRUE(splitLines("").empty());
}

TEST_F(UserDialogTest, FirstShowingWritesAnEmptyListAndOffersTheCurrentName) {
  UserDialogModel dialog(store, kKey, "logon", true);
  dialog.show();
  EXPECT_EQ(storedUsers(), "");
  EXPECT_EQ(dialog.users(), std::vector<std::string>{"logon"});
  EXPECT_EQ(dialog.selectedIndex(), 0);
  EXPECT_TRUE(dialog.editable());
  dialog.PrepareForClose(dialog.users(), 0, "logon");
  EXPECT_EQ(storedUsers(), "logon\r\n");
  EXPECT_EQ(dialog.currentUser(), "logon");
}

TEST_F(UserDialogTest, PreselectionFindsTheNameInAnyLetterCase) {
  store.writeString(kRoot, kKey, "Users", "zoe\r\nAnn\r\nbob\r\n");
  UserDialogModel dialog(store, kKey, "BOB", true);
  dialog.show();
  EXPECT_EQ(dialog.users(), (std::vector<std::string>{"Ann", "bob", "zoe"}));
  EXPECT_EQ(dialog.selectedIndex(), 1);
}

TEST_F(UserDialogTest, BlankCurrentNamePreselectsNothingOrTheFirst) {
  store.writeString(kRoot, kKey, "Users", "b\r\na\r\n");
  UserDialogModel editable(store, kKey, "  ", true);
  editable.show();
  EXPECT_EQ(editable.selectedIndex(), -1);
  EXPECT_EQ(editable.users().size(), 2u);
  UserDialogModel pickOnly(store, kKey, "", false);
  pickOnly.show();
  EXPECT_EQ(pickOnly.selectedIndex(), 0);
  EXPECT_FALSE(pickOnly.editable());
}

TEST_F(UserDialogTest, TypedNameInAnotherCaseAddsNoSecondEntry) {
  store.writeString(kRoot, kKey, "Users", "Bob\r\n");
  UserDialogModel dialog(store, kKey, "Bob", true);
  dialog.show();
  dialog.PrepareForClose(dialog.users(), -1, "bob");
  EXPECT_EQ(storedUsers(), "Bob\r\n");
  EXPECT_EQ(dialog.currentUser(), "bob");  // the text as typed
}

TEST_F(UserDialogTest, OnlySpacesGiveAnonymousAndAddNothing) {
  store.writeString(kRoot, kKey, "Users", "ann\r\n");
  UserDialogModel dialog(store, kKey, "ann", true);
  dialog.show();
  dialog.PrepareForClose(dialog.users(), -1, "   ");
  EXPECT_EQ(dialog.currentUser(), "Anonymous");
  EXPECT_EQ(storedUsers(), "ann\r\n");
}

TEST_F(UserDialogTest, ClosingMergesNamesStoredMeanwhile) {
  UserDialogModel first(store, kKey, "ann", true);
  UserDialogModel second(store, kKey, "bob", true);
  first.show();
  second.show();
  first.PrepareForClose(first.users(), 0, "ann");
  second.PrepareForClose(second.users(), 0, "bob");
  EXPECT_EQ(storedUsers(), "ann\r\nbob\r\n");
}

TEST_F(UserDialogTest, WrongTypeOfUsersFails) {
  store.writeDword(kRoot, kKey, "Users", 5);
  UserDialogModel dialog(store, kKey, "ann", true);
  EXPECT_THROW(dialog.show(), std::exception);
}

TEST_F(UserDialogTest, HeadlessDialogPressesOkAtOnce) {
  HeadlessTrackerUi ui;
  std::string name = "carl";
  EXPECT_EQ(ShowUserDialog(ui, store, true, kKey, name), 1);
  EXPECT_EQ(name, "carl");
  EXPECT_EQ(storedUsers(), "carl\r\n");
  std::string blank;
  EXPECT_EQ(ShowUserDialog(ui, store, true, kKey, blank), 1);
  EXPECT_EQ(blank, "Anonymous");
  EXPECT_EQ(storedUsers(), "carl\r\n");
}

TEST_F(UserDialogTest, ShowDialogPreference) {
  EXPECT_TRUE(GetShowDialogKey(store, kKey));
  EXPECT_EQ(store.readDword(kRoot, kKey, "ShowDialog"), 1u);
  SetShowDialogKey(store, kKey, false);
  EXPECT_FALSE(GetShowDialogKey(store, kKey));
  store.writeDword(kRoot, kKey, "ShowDialog", 7);
  EXPECT_TRUE(GetShowDialogKey(store, kKey));
  store.writeString(kRoot, kKey, "ShowDialog", "1");
  EXPECT_THROW(GetShowDialogKey(store, kKey), std::exception);
}

TEST(LogonName, FallsBackToAnonymous) {
  FixedSystemFacts facts;
  ScopedSystemFacts use(facts);
  facts.logon = "dev";
  EXPECT_EQ(GetHMRUserName(), "dev");
  facts.logon = std::nullopt;
  EXPECT_EQ(GetHMRUserName(), "Anonymous");
  facts.logon = " \t";
  EXPECT_EQ(GetHMRUserName(), "Anonymous");
  facts.logon = std::string(99, 'x');
  EXPECT_EQ(GetHMRUserName(), std::string(99, 'x'));
  facts.logon = std::string(100, 'x');  // does not fit with its terminator
  EXPECT_EQ(GetHMRUserName(), "Anonymous");
}

// Several IDE processes close their user dialogs at the same moment, over and over, on one
// store file: every name each of them added is kept.
TEST(UserListAcrossProcesses, ConcurrentClosingsLoseNoName) {
  hmr::testing::TempFolder folder;
  const std::string path = folder.file("registry.db");
  { SqliteSettingsStore create(path); }

  constexpr int kProcesses = 4, kRounds = 15;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 0;
      try {
        SqliteSettingsStore store(path);
        for (int r = 0; r < kRounds; ++r) {
          UserDialogModel dialog(store, kKey, "user" + std::to_string(p) + "_" +
                                                  std::to_string(r), true);
          dialog.show();
          dialog.PrepareForClose(dialog.users(), dialog.selectedIndex(), "");
        }
      } catch (const std::exception& e) {
        std::fprintf(stderr, "process %d: %s\n", p, e.what());
        status = 1;
      }
      _exit(status);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  SqliteSettingsStore store(path);
  const std::vector<std::string> names =
      splitLines(store.readString(kRoot, kKey, "Users").value_or(""));
  EXPECT_EQ(names.size(), static_cast<std::size_t>(kProcesses * kRounds));
  for (int p = 0; p < kProcesses; ++p)
    for (int r = 0; r < kRounds; ++r) {
      const std::string name = "user" + std::to_string(p) + "_" + std::to_string(r);
      EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    }
  EXPECT_EQ(store.integrityCheck(), "ok");
}

}  // namespace
}  // namespace hmr
