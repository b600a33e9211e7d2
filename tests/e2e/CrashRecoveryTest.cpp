// SPDX-License-Identifier: MIT
// No tracked time lost to a crash of the IDE or to a full disk: the real stand-in IDE with the
// real package, killed in the middle of a day, and closing a project on a file system that is
// full.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/HMRFileIO.h"
#include "tests/e2e/EndToEndTest.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class CrashRecoveryTest : public EndToEndTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(runIde("").status, 0);  // the IDE's key appears
    ASSERT_EQ(test_support::runProgram(kBin + "/hmrsetup5", {}, scratch_.path()).status, 0);
  }

  // The recovery files: $XDG_STATE_HOME is unset, so they go below the scratch home.
  std::vector<std::string> recoveryFiles() const {
    std::vector<std::string> names;
    const fs::path folder = scratch_.path() + "/.local/state/hmr";
    if (!fs::exists(folder)) return names;
    for (const auto& entry : fs::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    return names;
  }

  // Edits the project once a minute for `minutes` minutes.
  static std::string editEveryMinute(const std::string& file, int minutes) {
    std::string lines;
    for (int m = 0; m < minutes; ++m) lines += "advance 60\nedit " + file + "\n";
    return lines;
  }
};

// Killed at 09:22 after 22 minutes of work: the next start finds the session, "Not Closed",
// brought up to date at the last checkpoint (09:20), and its close puts it in the data file.
TEST_F(CrashRecoveryTest, AKilledIdeLosesAtMostOneCheckpointInterval) {
  fs::create_directories(scratch_.path() + "/Crash");
  const auto killed = runIde("clock 2026-12-08T09:00:00\n"
                             "open-project Crash/Crash.dpr\n" +
                             editEveryMinute("Crash/Crash.dpr", 22) + "crash\n");
  EXPECT_EQ(killed.status, -1);  // it did not end by itself
  EXPECT_FALSE(fs::exists(scratch_.path() + "/Crash/Crash.HMR"));  // only closing writes it
  const std::vector<std::string> recovery = recoveryFiles();
  ASSERT_EQ(recovery.size(), 1u);
  EXPECT_THAT(recovery[0], ::testing::StartsWith("Crash-"));

  const auto next = runIde("clock 2026-12-08T10:00:00\n"
                           "open-project Crash/Crash.dpr\n"
                           "menu \"Project Revedazl\"\n" +
                           editEveryMinute("Crash/Crash.dpr", 5) +
                           "close-project Crash/Crash.dpr\n");
  ASSERT_EQ(next.status, 0) << next.err;
  EXPECT_EQ(next.err, "");
  EXPECT_THAT(next.out, HasSubstr("Not Closed"));  // the dialog shows the recovered session
  EXPECT_TRUE(recoveryFiles().empty());            // the close saved it: nothing left behind

  HmrFileContents saved;
  readHmrFile(scratch_.path() + "/Crash/Crash.HMR", saved);
  ASSERT_EQ(saved.sessions.size(), 2u);
  const TSessionData& crashed = *saved.sessions[0];
  EXPECT_TRUE(crashed.SessionNotClosed);
  EXPECT_EQ(formatIsoDateTime(crashed.SessionDateTimeOpen), "2026-12-08T09:00:00");
  EXPECT_EQ(formatIsoDateTime(crashed.SessionDateTimeClose), "2026-12-08T09:20:00");
  EXPECT_EQ(crashed.SessionWorkTime, 1200);  // 22 minutes worked, 2 lost to the crash
  const TSessionData& today = *saved.sessions[1];
  EXPECT_FALSE(today.SessionNotClosed);
  EXPECT_EQ(today.SessionWorkTime, 300);
}

// A project closed on a full file system: the save fails and says where the history is kept;
// once there is room again, the next run of the IDE saves it with the day's new session.
TEST_F(CrashRecoveryTest, AFullDiskOnCloseLosesNoSession) {
  const std::string small = scratch_.path() + "/small";
  fs::create_directories(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
  struct Unmount {
    std::string path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{small};
  fs::create_directories(small + "/P");
  {
    std::ofstream filler(small + "/filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), block.size())) {
    }
  }
  const auto full = runIde("clock 2026-12-08T09:00:00\n"
                           "open-project small/P/P.dpr\n" +
                           editEveryMinute("small/P/P.dpr", 10) + "close-project small/P/P.dpr\n");
  EXPECT_THAT(full.err, HasSubstr("Error saving HMR file"));
  EXPECT_THAT(full.err, HasSubstr("No space left on device"));
  EXPECT_THAT(full.err, HasSubstr("The history is kept in " + scratch_.path() +
                                  "/.local/state/hmr/P-"));
  EXPECT_FALSE(fs::exists(small + "/P/P.HMR"));

  fs::remove(small + "/filler");
  const auto freed = runIde("clock 2026-12-08T13:00:00\n"
                            "open-project small/P/P.dpr\n" +
                            editEveryMinute("small/P/P.dpr", 3) +
                            "close-project small/P/P.dpr\n");
  ASSERT_EQ(freed.status, 0) << freed.err;
  EXPECT_EQ(freed.err, "");
  HmrFileContents saved;
  readHmrFile(small + "/P/P.HMR", saved);
  ASSERT_EQ(saved.sessions.size(), 2u);
  EXPECT_FALSE(saved.sessions[0]->SessionNotClosed);  // it was closed; only its save failed
  EXPECT_EQ(saved.sessions[0]->SessionWorkTime, 600);
  EXPECT_EQ(saved.sessions[1]->SessionWorkTime, 180);
  EXPECT_TRUE(recoveryFiles().empty());
}

}  // namespace
}  // namespace hmr
