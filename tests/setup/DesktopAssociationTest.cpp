// SPDX-License-Identifier: MIT
// The installer on a Linux desktop: hmrsetup5 run for real in a scratch home, then asked of
// the desktop's own tools (xdg-mime, desktop-file-validate).
#include "setup/DesktopAssociation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/SqliteSettingsStore.h"
#include "tests/support/RunProgram.h"
#include "tests/support/StoreEnvironment.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class DesktopAssociationTest : public ::testing::Test {
 protected:
  test_support::ProgramRun run(const std::string& program,
                               const std::vector<std::string>& args = {}) {
    return test_support::runProgram(program, args, scratch_.path());
  }
  // What a tool prints on its first line (xdg-mime's answers).
  std::string ask(const std::vector<std::string>& args) {
    const auto answer = run("/usr/bin/xdg-mime", args);
    return answer.out.substr(0, answer.out.find('\n'));
  }
  // Every file below the scratch home's share and config folders with its contents.
  std::map<std::string, std::string> desktopFiles() const {
    std::map<std::string, std::string> files;
    for (const char* top : {"/.local/share", "/.config"}) {
      const fs::path root = scratch_.path() + top;
      if (!fs::exists(root)) continue;
      for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
          files[entry.path().string()] = test_support::readWholeFile(entry.path());
    }
    return files;
  }
  void installIde() {
    openSettingsStoreAt(store_)->createKey(RegistryRoot::CurrentUser,
                                           "SOFTWARE\\Borland\\Delphi\\5.0");
  }

  hmr::testing::TempFolder scratch_;
  std::string store_ = scratch_.file("config/registry.db");
  test_support::StoreEnvironment environment_{store_, scratch_.path()};
  std::string viewer_ = fs::canonical(HMRSETUP5_PATH).parent_path().string() + "/hmr-viewer";
};

TEST_F(DesktopAssociationTest, TheDesktopsToolsKnowTheTypeAndItsViewer) {
  if (!fs::exists("/usr/bin/xdg-mime") || !fs::exists("/usr/bin/desktop-file-validate"))
    GTEST_SKIP() << "xdg-utils or desktop-file-utils are not installed";
  installIde();
  const auto setup = run(HMRSETUP5_PATH);
  ASSERT_EQ(setup.status, 0);
  EXPECT_EQ(setup.err, "");
  EXPECT_THAT(setup.out, HasSubstr("HMR data files (.HMR) now open with " + viewer_));

  std::ofstream(scratch_.file("Billing.HMR")) << "x";
  std::ofstream(scratch_.file("billing.hmr")) << "x";
  EXPECT_EQ(ask({"query", "filetype", scratch_.file("Billing.HMR")}), HmrMimeType);
  EXPECT_EQ(ask({"query", "filetype", scratch_.file("billing.hmr")}), HmrMimeType);
  EXPECT_EQ(ask({"query", "default", HmrMimeType}), ViewerDesktopEntry);

  const std::string entry = scratch_.path() + "/.local/share/applications/hmr-viewer.desktop";
  const auto valid = run("/usr/bin/desktop-file-validate", {entry});
  EXPECT_EQ(valid.status, 0) << valid.out << valid.err;
  EXPECT_THAT(test_support::readWholeFile(entry), HasSubstr("Exec=" + viewer_ + " %f\n"));
  EXPECT_TRUE(fs::exists(scratch_.path() +
                         "/.local/share/icons/hicolor/scalable/apps/hmr-viewer.svg"));
  // The store's open command names the same program.
  SqliteSettingsStore store(store_);
  EXPECT_EQ(store.readString(RegistryRoot::ClassesRoot, "hmrfile\\Shell\\open\\command", ""),
            viewer_ + " \"%1\"");
}

TEST_F(DesktopAssociationTest, RunningItTwiceChangesNothingMore) {
  installIde();
  ASSERT_EQ(run(HMRSETUP5_PATH).status, 0);
  const auto first = desktopFiles();
  ASSERT_FALSE(first.empty());
  ASSERT_EQ(run(HMRSETUP5_PATH).status, 0);
  EXPECT_EQ(desktopFiles(), first);
}

// Without the desktop's tools the files and the store's values are written all the same, and
// the message says what could not be done.
TEST_F(DesktopAssociationTest, MissingToolsAreNamedAndTheStoreIsWrittenAllTheSame) {
  installIde();
  const char* path = std::getenv("PATH");
  const std::string saved = path ? path : "";
  setenv("PATH", scratch_.path().c_str(), 1);  // holds none of the tools
  const auto setup = run(HMRSETUP5_PATH);
  setenv("PATH", saved.c_str(), 1);
  EXPECT_EQ(setup.status, 0);
  EXPECT_THAT(setup.out, HasSubstr("only partly associated"));
  EXPECT_THAT(setup.out, HasSubstr("update-mime-database was not found"));
  EXPECT_THAT(setup.out, HasSubstr("xdg-mime was not found"));
  EXPECT_THAT(setup.err, HasSubstr("update-desktop-database was not found"));
  EXPECT_TRUE(fs::exists(scratch_.path() + "/.local/share/mime/packages/hmr.xml"));
  SqliteSettingsStore store(store_);
  EXPECT_EQ(store.readString(RegistryRoot::ClassesRoot, ".hmr", ""), "hmrfile");
}

TEST(DesktopExec, ProgramPathsAreQuotedOnlyWhenTheyMustBe) {
  EXPECT_EQ(desktopExecProgram("/opt/hmr/hmr-viewer"), "/opt/hmr/hmr-viewer");
  EXPECT_EQ(desktopExecProgram("/home/ann/My Tools/hmr-viewer"),
            "\"/home/ann/My Tools/hmr-viewer\"");
  EXPECT_EQ(desktopExecProgram("/a$b/\"q\"/hmr-viewer"), "\"/a\\$b/\\\"q\\\"/hmr-viewer\"");
}

}  // namespace
}  // namespace hmr
