// SPDX-License-Identifier: MIT
#include "core/UserDialogModel.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "core/WindowlessTrackerUi.h"
#include "core/uHMRUsers.h"
#include "platform/MemorySettingsStore.h"
#include "platform/SqliteSettingsStore.h"
#include "platform/SystemFacts.h"
#include "tests/support/ForwardingStore.h"
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

TEST_F(UserDialogTest, WindowlessDialogPressesOkAtOnce) {
  WindowlessTrackerUi ui;
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

// Plays a second IDE process: right after this process's first read of `value`, the other
// process writes through its own connection to the same store file.
class OtherProcessWritesAfterRead final : public test_support::ForwardingStore {
 public:
  OtherProcessWritesAfterRead(SettingsStore& mine, std::function<void()> otherWrite)
      : ForwardingStore(mine), otherWrite_(std::move(otherWrite)) {}

 protected:
  void after(std::string_view operation, RegistryRoot, std::string_view) override {
    if (done_ || operation.find("read") != 0) return;
    done_ = true;
    otherWrite_();
  }

 private:
  std::function<void()> otherWrite_;
  bool done_ = false;
};

// Two IDEs start at once on a store without "Users": the names that the second one merges in
// between the first one's read and its default write survive.
TEST(SettingsDefaultsAcrossProcesses, UsersDefaultNeverWipesMergedNames) {
  hmr::testing::TempFolder folder;
  SqliteSettingsStore first(folder.file("registry.db"));
  SqliteSettingsStore second(folder.file("registry.db"));
  OtherProcessWritesAfterRead stepped(first, [&] {
    UserDialogModel other(second, kKey, "Bob", true);
    other.show();
    other.PrepareForClose(other.users(), other.selectedIndex(), "");
  });
  UserDialogModel dialog(stepped, kKey, "Anna", true);
  dialog.show();
  EXPECT_EQ(first.readString(kRoot, kKey, "Users"), "Bob\r\n");
  dialog.PrepareForClose(dialog.users(), dialog.selectedIndex(), "");
  EXPECT_EQ(first.readString(kRoot, kKey, "Users"), "Anna\r\nBob\r\n");
}

// A preference unticked by another IDE between this one's read and its default write stays.
TEST(SettingsDefaultsAcrossProcesses, ShowDialogDefaultNeverOverwritesAPreference) {
  hmr::testing::TempFolder folder;
  SqliteSettingsStore first(folder.file("registry.db"));
  SqliteSettingsStore second(folder.file("registry.db"));
  OtherProcessWritesAfterRead stepped(first, [&] { SetShowDialogKey(second, kKey, false); });
  GetShowDialogKey(stepped, kKey);
  EXPECT_EQ(first.readDword(kRoot, kKey, "ShowDialog"), 0u);
  EXPECT_FALSE(GetShowDialogKey(first, kKey));
}

// The default is written once and only where nothing is stored, in both stores.
TEST(SettingsDefaults, WrittenOnlyWhereMissing) {
  hmr::testing::TempFolder folder;
  SqliteSettingsStore sqlite(folder.file("registry.db"));
  MemorySettingsStore memory;
  for (SettingsStore* store : {static_cast<SettingsStore*>(&sqlite),
                               static_cast<SettingsStore*>(&memory)}) {
    EXPECT_EQ(store->readStringOrCreate(kRoot, kKey, "S", "first"), "first");
    EXPECT_EQ(store->readStringOrCreate(kRoot, kKey, "S", "second"), "first");
    EXPECT_EQ(store->readDwordOrCreate(kRoot, kKey, "D", 1), 1u);
    store->writeDword(kRoot, kKey, "D", 0);
    EXPECT_EQ(store->readDwordOrCreate(kRoot, kKey, "D", 1), 0u);
    EXPECT_THROW(store->readDwordOrCreate(kRoot, kKey, "S", 1), std::exception);
    EXPECT_EQ(store->readString(kRoot, kKey, "S"), "first");  // a wrong type changes nothing
  }
}

// A soak of what several IDEs starting together do to one store: in each round a fresh store
// file, several processes released at the same moment read the start-up preference (writing its
// default where missing), one of them unticks it, and each closes its user dialog five times with
// names of its own. Over all rounds no name and no preference may be lost.
TEST(UserListAcrossProcesses, ConcurrentStartsAndClosingsLoseNothing) {
  constexpr int kRounds = 12, kProcesses = 6, kNamesEach = 5;
  int namesLost = 0, preferencesLost = 0;
  for (int round = 0; round < kRounds; ++round) {
    hmr::testing::TempFolder folder;
    const std::string path = folder.file("registry.db");
    int release[2];
    ASSERT_EQ(pipe(release), 0);
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        close(release[1]);
        char byte;
        while (read(release[0], &byte, 1) > 0) {
        }  // every process starts when the parent closes the pipe
        int status = 0;
        try {
          SqliteSettingsStore store(path);
          if (p == 0) SetShowDialogKey(store, kKey, false);
          GetShowDialogKey(store, kKey);
          for (int n = 0; n < kNamesEach; ++n) {
            UserDialogModel dialog(store, kKey, "", true);
            dialog.show();
            dialog.PrepareForClose(dialog.users(), -1,
                                   "user" + std::to_string(p) + "_" + std::to_string(n));
          }
        } catch (const std::exception& e) {
          std::fprintf(stderr, "process %d: %s\n", p, e.what());
          status = 1;
        }
        _exit(status);
      }
      children.push_back(pid);
    }
    close(release[0]);
    close(release[1]);
    for (pid_t pid : children) {
      int status = 0;
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
    }
    SqliteSettingsStore store(path);
    const std::vector<std::string> names =
        splitLines(store.readString(kRoot, kKey, "Users").value_or(""));
    for (int p = 0; p < kProcesses; ++p)
      for (int n = 0; n < kNamesEach; ++n) {
        const std::string name = "user" + std::to_string(p) + "_" + std::to_string(n);
        if (std::find(names.begin(), names.end(), name) == names.end()) ++namesLost;
      }
    if (store.readDword(kRoot, kKey, "ShowDialog") != 0u) ++preferencesLost;
    EXPECT_EQ(store.integrityCheck(), "ok");
  }
  std::printf("soak: %d rounds of %d processes: %d of %d names lost, %d of %d preferences lost\n",
              kRounds, kProcesses, namesLost, kRounds * kProcesses * kNamesEach, preferencesLost,
              kRounds);
  EXPECT_EQ(namesLost, 0);
  EXPECT_EQ(preferencesLost, 0);
}

}  // namespace
}  // namespace hmr
