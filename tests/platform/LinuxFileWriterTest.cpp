// SPDX-License-Identifier: MIT
#include "platform/LinuxFileWriter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tests/platform/FaultInjectingFileWriter.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

mode_t modeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

// The system_error's message for a replacement that must fail.
std::string failureOf(FileWriter& writer, const std::string& path, const std::string& data) {
  try {
    writer.replaceContents(path, data);
  } catch (const std::system_error& e) {
    return e.what();
  }
  return "no failure";
}

class LinuxFileWriterTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string target_ = folder_.file("Demo.HMR");
  const std::string old_ = std::string("old contents\0with a zero", 24);
  const std::string new_ = std::string(100000, 'n');
};

TEST_F(LinuxFileWriterTest, CreatesAFileWithTheUsualModeForNewFiles) {
  LinuxFileWriter writer;
  writer.replaceContents(target_, new_);
  EXPECT_EQ(readBytes(target_), new_);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(modeOf(target_), 0666 & ~mask);
  EXPECT_EQ(folder_.names(), std::vector<std::string>{"Demo.HMR"});
}

TEST_F(LinuxFileWriterTest, ReplacesContentsAndKeepsPermissionBits) {
  writeBytes(target_, old_);
  ASSERT_EQ(::chmod(target_.c_str(), 0640), 0);
  LinuxFileWriter writer;
  writer.replaceContents(target_, "short");
  EXPECT_EQ(readBytes(target_), "short");
  EXPECT_EQ(modeOf(target_), 0640u);
  EXPECT_EQ(folder_.names(), std::vector<std::string>{"Demo.HMR"});
}

TEST_F(LinuxFileWriterTest, WritesAnEmptyFile) {
  writeBytes(target_, old_);
  LinuxFileWriter(false).replaceContents(target_, "");
  EXPECT_EQ(readBytes(target_), "");
}

TEST_F(LinuxFileWriterTest, FullDiskLeavesTheOldFileAndNoTemporary) {
  writeBytes(target_, old_);
  FaultInjectingFileWriter writer;
  writer.failWritesAfter(4096, ENOSPC);
  EXPECT_EQ(failureOf(writer, target_, new_), "No space left on device");
  EXPECT_EQ(readBytes(target_), old_);
  EXPECT_EQ(folder_.names(), std::vector<std::string>{"Demo.HMR"});
}

TEST_F(LinuxFileWriterTest, FailingSyncLeavesTheOldFileAndNoTemporary) {
  writeBytes(target_, old_);
  FaultInjectingFileWriter writer;
  writer.failSync(EIO);
  EXPECT_EQ(failureOf(writer, target_, new_), "Input/output error");
  EXPECT_EQ(readBytes(target_), old_);
  EXPECT_EQ(folder_.names(), std::vector<std::string>{"Demo.HMR"});
}

TEST_F(LinuxFileWriterTest, FailingRenameLeavesTheOldFileAndNoTemporary) {
  writeBytes(target_, old_);
  FaultInjectingFileWriter writer;
  writer.failRename(EXDEV);
  EXPECT_EQ(failureOf(writer, target_, new_), "Invalid cross-device link");
  EXPECT_EQ(readBytes(target_), old_);
  EXPECT_EQ(folder_.names(), std::vector<std::string>{"Demo.HMR"});
}

// A failure after the rename is told apart: the new contents are in place, only their
// durability is not confirmed. So for the flush of the folder and for its close.
TEST_F(LinuxFileWriterTest, FailuresAfterTheRenameAreReportedAsSuch) {
  for (const bool atClose : {false, true}) {
    SCOPED_TRACE(atClose ? "closing the folder" : "flushing the folder");
    writeBytes(target_, old_);
    FaultInjectingFileWriter writer;
    if (atClose) {
      writer.failFolderClose(EIO);
    } else {
      writer.failFolderSync(EIO);
    }
    EXPECT_THROW(writer.replaceContents(target_, new_), NotDurableError);
    EXPECT_EQ(readBytes(target_), new_);
    writeBytes(target_, old_);
    EXPECT_EQ(failureOf(writer, target_, new_), "Input/output error");
    EXPECT_EQ(writer.renames(), 2);
    EXPECT_EQ(readBytes(target_), new_);
    EXPECT_EQ(folder_.names(), std::vector<std::string>{"Demo.HMR"});
  }
}

// A process id that no longer runs: a child that has exited and been reaped.
pid_t deadProcessId() {
  const pid_t pid = fork();
  if (pid == 0) _exit(0);
  int status = 0;
  waitpid(pid, &status, 0);
  return pid;
}

// Temporaries left by a writer that died are removed by the next save of the same file; those
// of a running writer, of another file, and files that only look alike stay.
TEST_F(LinuxFileWriterTest, NextSaveRemovesTemporariesOfDeadWritersOnly) {
  const std::string dead = std::to_string(deadProcessId());
  const std::string alive = std::to_string(getpid());
  for (const std::string& name :
       {".Demo.HMR.tmp-" + dead + "-a1b2c3", ".Demo.HMR.tmp-" + alive + "-a1b2c3",
        ".Other.HMR.tmp-" + dead + "-a1b2c3", ".Demo.HMR.tmp-" + dead + "-long-name",
        ".Demo.HMR.tmp-x" + dead + "-a1b2c3"})
    writeBytes(folder_.file(name), old_);
  LinuxFileWriter(false).replaceContents(target_, new_);
  EXPECT_EQ(folder_.names(),
            (std::vector<std::string>{".Demo.HMR.tmp-" + alive + "-a1b2c3",
                                      ".Demo.HMR.tmp-" + dead + "-long-name",
                                      ".Demo.HMR.tmp-x" + dead + "-a1b2c3",
                                      ".Other.HMR.tmp-" + dead + "-a1b2c3", "Demo.HMR"}));
}

// Writers killed at arbitrary moments of their saves leave at most their own temporaries, and
// the next save clears them: no garbage lasts.
TEST_F(LinuxFileWriterTest, SavesKilledMidwayLeaveNothingAfterTheNextSave) {
  const std::string big(2 << 20, 'b');
  for (int kill = 0; kill < 25; ++kill) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (;;) LinuxFileWriter(false).replaceContents(target_, big);
    }
    usleep(static_cast<useconds_t>(1000 + (kill * 7919) % 20000));
    ::kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
  }
  LinuxFileWriter(false).replaceContents(target_, new_);
  EXPECT_EQ(folder_.names(), std::vector<std::string>{"Demo.HMR"});
  EXPECT_EQ(readBytes(target_), new_);
}

// Leftovers of every target a filter accepts go, when their writer no longer runs; names of
// other files, of running writers, and names that only look alike stay.
TEST_F(LinuxFileWriterTest, RemoveLeftoversTakesOnlyThoseOfDeadWritersOfAcceptedNames) {
  const std::string dead = std::to_string(deadProcessId());
  const std::string alive = std::to_string(getpid());
  const std::vector<std::string> gone = {".A.HMR.tmp-" + dead + "-a1b2c3",
                                         ".b c.hmr.tmp-" + dead + "-Zz0099",
                                         ".x.tmp-1.HMR.tmp-" + dead + "-QWERTY"};
  const std::vector<std::string> kept = {
      ".A.HMR.tmp-" + alive + "-a1b2c3", ".notes.txt.tmp-" + dead + "-a1b2c3",
      ".A.HMR.tmp-" + dead + "-abc",     ".A.HMR.tmp-" + dead + "-ab$def",
      "A.HMR.tmp-" + dead + "-a1b2c3",   ".A.HMR.tmp-0-a1b2c3",
      ".A.HMR.tmp--a1b2c3",              "Demo.HMR"};
  for (const std::string& name : gone) writeBytes(folder_.file(name), old_);
  for (const std::string& name : kept) writeBytes(folder_.file(name), old_);
  LinuxFileWriter(false).removeLeftovers(folder_.path(), [](std::string_view name) {
    return name.size() > 4 && (name.ends_with(".HMR") || name.ends_with(".hmr"));
  });
  std::vector<std::string> expected = kept;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(folder_.names(), expected);
  LinuxFileWriter(false).removeLeftovers(folder_.path() + "/missing", [](auto) { return true; });
}

TEST_F(LinuxFileWriterTest, WithoutSyncNoSyncStepRuns) {
  FaultInjectingFileWriter syncing;
  syncing.failSync(EIO);
  EXPECT_EQ(failureOf(syncing, target_, new_), "Input/output error");
  FaultInjectingFileWriter notSyncing(false);
  notSyncing.failSync(EIO);
  notSyncing.failFolderSync(EIO);
  notSyncing.replaceContents(target_, new_);
  EXPECT_EQ(readBytes(target_), new_);
}

TEST_F(LinuxFileWriterTest, MissingFolderFailsWithTheSystemsReason) {
  LinuxFileWriter writer;
  EXPECT_EQ(failureOf(writer, folder_.path() + "/missing/Demo.HMR", new_),
            "No such file or directory");
}

TEST_F(LinuxFileWriterTest, AFolderAsTargetIsRefused) {
  folder_.file("sub/x");
  LinuxFileWriter writer;
  EXPECT_EQ(failureOf(writer, folder_.path() + "/sub", new_), "Is a directory");
}

TEST_F(LinuxFileWriterTest, ReadOnlyFolderFailsAndLeavesTheOldFile) {
  if (!testing::permissionsAreEnforced(folder_))
    GTEST_SKIP() << "running as root: folder permissions do not stop writes";
  writeBytes(target_, old_);
  ASSERT_EQ(::chmod(folder_.path().c_str(), 0500), 0);
  LinuxFileWriter writer;
  EXPECT_EQ(failureOf(writer, target_, new_), "Permission denied");
  ASSERT_EQ(::chmod(folder_.path().c_str(), 0700), 0);
  EXPECT_EQ(readBytes(target_), old_);
  EXPECT_EQ(folder_.names(), std::vector<std::string>{"Demo.HMR"});
}

TEST_F(LinuxFileWriterTest, ASymbolicLinkIsFollowed) {
  const std::string real = folder_.file("data/Real.HMR");
  writeBytes(real, old_);
  ASSERT_EQ(::symlink(real.c_str(), target_.c_str()), 0);
  LinuxFileWriter writer;
  writer.replaceContents(target_, "through the link");
  EXPECT_TRUE(std::filesystem::is_symlink(target_));
  EXPECT_EQ(readBytes(real), "through the link");
}

TEST(FileWriterInstallation, ScopedWriterIsUsedAndThenRestored) {
  FileWriter& before = currentFileWriter();
  FaultInjectingFileWriter injected;
  {
    ScopedFileWriter use(injected);
    EXPECT_EQ(&currentFileWriter(), &injected);
  }
  EXPECT_EQ(&currentFileWriter(), &before);
  EXPECT_NE(dynamic_cast<LinuxFileWriter*>(&before), nullptr);
}

}  // namespace
}  // namespace hmr
