// SPDX-License-Identifier: MIT
// The tracked project's data file: which paths are kept on disk, reading, saving.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/ByteCoding.h"
#include "core/HMRFileFormat.h"
#include "core/uHMRProject.h"
#include "core/uHMRProjectGroup.h"
#include "core/uHMRTimer.h"
#include "platform/Clock.h"
#include "platform/HmrError.h"
#include "platform/PeriodicTimer.h"
#include "platform/SystemFacts.h"
#include "tests/platform/FaultInjectingFileWriter.h"
#include "tests/support/TempFolder.h"
#include "tests/support/Sessions.h"

namespace hmr {
namespace {

using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

const TDateTime kStart = encodeDateTime(2026, 12, 7, 9, 0, 0);

TDateTime plusSeconds(TDateTime t, std::int64_t s) { return t + static_cast<double>(s) / 86400.0; }

class ProjectFileTest : public ::testing::Test {
 protected:
  ProjectFileTest()
      : clock_(kStart), useClock_(clock_), timer_(std::make_unique<ManualTimer>()),
        useFacts_(facts_) {
    facts_.executable = "/opt/delphi/Bin/ide";
    facts_.system = "/nonexistent-system";
  }

  // A project of `group_` on the given host.
  std::unique_ptr<THMRProject> project(THostTool host = ftDelphi5) {
    group_.HostTool = host;
    auto p = std::make_unique<THMRProject>();
    p->ProjectGroup = &group_;
    return p;
  }

  // Saves a project with settings, a name and sessions under `path`.
  void saveSample(const std::string& path, std::int64_t minimumWorkTime = 60) {
    auto p = project();
    p->TimeForIdle = 600;
    p->MinimumWorkTime = minimumWorkTime;
    p->ProjectName = "Sample";
    p->AddSession(kStart, plusSeconds(kStart, 3600), false, 600);
    p->Sessions.back().SessionUserName = "anna";
    p->AddSession(kStart + 1, plusSeconds(kStart + 1, 30), false, 0);  // 30 s of work
    p->Sessions.back().SessionUserName = "bert";
    p->AddSession(kStart + 2, plusSeconds(kStart + 2, 7200), true, 100);
    p->SaveFile(path);
  }

  std::string readFailure(THMRProject& p) {
    try {
      p.LoadFile();
    } catch (const HmrError& e) {
      return e.what();
    }
    return "read";
  }

  std::string saveFailure(THMRProject& p, const std::string& path) {
    try {
      p.SaveFile(path);
    } catch (const HmrError& e) {
      return e.what();
    }
    return "saved";
  }

  TempFolder folder_;
  VirtualClock clock_;
  ScopedClock useClock_;
  ScopedTimerGlobal timer_;
  FixedSystemFacts facts_;
  ScopedSystemFacts useFacts_;
  THMRProjectGroup group_;
};

TEST_F(ProjectFileTest, WriteThenReadKeepsSettingsNameAndEverySession) {
  auto original = project();
  original->TimeForIdle = 900;
  original->MinimumWorkTime = 120;
  original->ProjectName = "Caf\xC3\xA9";
  original->AddSession(kStart, plusSeconds(kStart, 3600), false, 600);
  original->Sessions.back().SessionUserName = "anna";
  original->AddSession(kStart + 1, plusSeconds(kStart + 1, 1800), true, 0);
  original->Sessions.back().SessionUserName = "J\xC3\xBCrgen";
  const std::string path = folder_.file("work/Demo.HMR");
  original->SaveFile(path);

  auto read = project();
  read->FileName = path;
  ASSERT_TRUE(read->LoadFile());
  EXPECT_EQ(read->TimeForIdle, 900);
  EXPECT_EQ(read->MinimumWorkTime, 120);
  EXPECT_EQ(read->ProjectName, "Caf\xC3\xA9");
  ASSERT_EQ(read->getSessionCount(), 2);
  for (int i = 0; i < 2; ++i) {
    const TSessionData& a = *original->getSessionData(i);
    const TSessionData& b = *read->getSessionData(i);
    test_support::expectSameSession(a, b);
  }
  EXPECT_EQ(read->TotalTime, 5400);
  EXPECT_EQ(read->TotalIdleTime, 600);
  EXPECT_EQ(read->TotalWorkTime, 4800);
  EXPECT_EQ(read->State, hmClosed);
}

TEST_F(ProjectFileTest, TheDemoProjectIsWrittenAsThe36ByteExample) {
  auto p = project();
  p->ProjectName = "Demo";
  const std::string path = folder_.file("Demo.HMR");
  p->SaveFile(path);
  const std::string expected("\x02\0\0\0\x2C\x01\0\0\0\0\0\0\x3C\0\0\0\0\0\0\0\x04\0\0\0Demo"
                             "\0\0\0\0\xF4\x01\0\0",
                             36);
  EXPECT_EQ(readBytes(path), expected);
}

TEST_F(ProjectFileTest, SavingDoesNotChangeTheProject) {
  auto p = project();
  p->AddSession(kStart, plusSeconds(kStart, 10), false, 0);  // below the minimum
  p->SaveFile(folder_.file("Demo.HMR"));
  EXPECT_EQ(p->getSessionCount(), 1);
  EXPECT_EQ(p->TotalTime, 10);
}

TEST_F(ProjectFileTest, AVersion1FileIsReadAndTheNextSaveWritesVersion2) {
  std::string body;
  auto put32 = [&](std::int32_t v) { char b[4]; encodeInt32(b, v); body.append(b, 4); };
  auto putF = [&](double v) { char b[8]; encodeDouble(b, v); body.append(b, 8); };
  put32(1);
  putF(0.0833333);
  putF(1.0 / 60);
  put32(3);
  body += "Old";
  put32(1);
  putF(kStart);
  putF(plusSeconds(kStart, 7200));
  body.push_back(0);
  putF(0.5);
  put32(CalculateCRC(body.data(), static_cast<std::int32_t>(body.size())));
  const std::string path = folder_.file("Old.HMR");
  writeBytes(path, body);

  auto p = project();
  p->FileName = path;
  ASSERT_TRUE(p->LoadFile());
  EXPECT_EQ(p->TimeForIdle, 300);
  EXPECT_EQ(p->MinimumWorkTime, 60);
  EXPECT_EQ(p->ProjectName, "Old");
  ASSERT_EQ(p->getSessionCount(), 1);
  EXPECT_EQ(p->getSessionData(0)->SessionIdleTime, 1800);
  EXPECT_EQ(p->getSessionData(0)->SessionWorkTime, 5400);
  EXPECT_EQ(p->getSessionData(0)->SessionUserName, "");

  p->SaveFile(path);
  const std::string saved = readBytes(path);
  EXPECT_EQ(decodeInt32(saved.data()), HMRFileVersion);
  EXPECT_EQ(decodeInt64(saved.data() + 4), 300);
  EXPECT_EQ(saved.size(), 4u + 16 + 4 + 3 + 4 + 29 + 0 + 4);
}

TEST_F(ProjectFileTest, ShortSessionsAreDroppedAtReadAndGoneFromTheNextSave) {
  const std::string path = folder_.file("Demo.HMR");
  saveSample(path);
  auto p = project();
  p->FileName = path;
  ASSERT_TRUE(p->LoadFile());
  ASSERT_EQ(p->getSessionCount(), 2);  // the 30-second session is gone
  EXPECT_EQ(p->getSessionData(0)->SessionUserName, "anna");
  EXPECT_EQ(p->getSessionData(1)->SessionWorkTime, 7100);
  EXPECT_EQ(p->TotalWorkTime, 3000 + 7100);

  p->SaveFile(path);
  auto again = project();
  again->FileName = path;
  again->MinimumWorkTime = 0;
  ASSERT_TRUE(again->LoadFile());  // the file's minimum (60) applies, yet nothing is short now
  EXPECT_EQ(again->getSessionCount(), 2);
  EXPECT_EQ(readBytes(path).find("bert"), std::string::npos);
}

TEST_F(ProjectFileTest, ASessionOfExactlyTheMinimumStays) {
  auto p = project();
  p->AddSession(kStart, plusSeconds(kStart, 60), false, 0);
  p->AddSession(kStart, plusSeconds(kStart, 59), false, 0);
  const std::string path = folder_.file("Demo.HMR");
  p->SaveFile(path);
  auto read = project();
  read->FileName = path;
  read->LoadFile();
  ASSERT_EQ(read->getSessionCount(), 1);
  EXPECT_EQ(read->getSessionData(0)->SessionWorkTime, 60);
}

TEST_F(ProjectFileTest, LoadFileResetsAndReportsAMissingFile) {
  auto p = project();
  p->TimeForIdle = 5;
  p->AddSession(kStart, kStart, false, 0);
  p->FileName = folder_.path() + "/Missing.HMR";
  EXPECT_FALSE(p->LoadFile());
  EXPECT_EQ(p->TimeForIdle, DefaultTimeForIdle);
  EXPECT_EQ(p->getSessionCount(), 0);
}

TEST_F(ProjectFileTest, AFolderOrAFifoInPlaceOfTheDataFileIsAnErrorNamingIt) {
  const std::string folder = folder_.file("X.HMR/inside");
  const std::string fifo = folder_.path() + "/F.HMR";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const auto& [path, reason] : {std::pair{folder_.path() + "/X.HMR", "Is a directory"},
                                     std::pair{fifo, "Not a regular file"}}) {
    auto p = project();
    p->FileName = path;
    EXPECT_EQ(readFailure(*p), "Error reading HMR file " + path + " : " + reason);
  }
  EXPECT_TRUE(std::filesystem::is_directory(folder_.path() + "/X.HMR"));
}

TEST_F(ProjectFileTest, OpenFileOfAMissingFileGivesTheSystemsReason) {
  auto p = project();
  const std::string path = folder_.path() + "/Missing.HMR";
  try {
    p->OpenFile(path);
    FAIL() << "no error";
  } catch (const HmrError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Error reading HMR file " + path + " : No such file or directory");
  }
}

TEST_F(ProjectFileTest, ACorruptedFileIsReportedWithTheFileName) {
  const std::string path = folder_.file("Demo.HMR");
  saveSample(path);
  std::string bytes = readBytes(path);
  bytes[10] ^= 0x04;
  writeBytes(path, bytes);
  auto p = project();
  p->FileName = path;
  EXPECT_EQ(readFailure(*p), "Error reading HMR file " + path + " : HMR file is corrupted");
  EXPECT_EQ(p->getSessionCount(), 0);
  EXPECT_EQ(p->TimeForIdle, DefaultTimeForIdle);
  EXPECT_EQ(p->State, hmClosed);
}

TEST_F(ProjectFileTest, AFailedReadKeepsWhatWasReadWithoutDroppingOrTotalling) {
  const std::string path = folder_.file("Demo.HMR");
  saveSample(path);
  std::string bytes = readBytes(path);
  // The third record's user name length reaches past the data; the checksum is made to fit.
  const std::size_t third = 34 + (29 + 4) + (29 + 4);
  encodeInt32(bytes.data() + third + 25, 500);
  bytes.resize(bytes.size() - 4);
  char crc[4];
  encodeInt32(crc, CalculateCRC(bytes.data(), static_cast<std::int32_t>(bytes.size())));
  bytes.append(crc, 4);
  writeBytes(path, bytes);

  auto p = project();
  p->FileName = path;
  EXPECT_EQ(readFailure(*p), "Error reading HMR file " + path + " : HMR file is corrupted");
  EXPECT_EQ(p->TimeForIdle, 600);
  EXPECT_EQ(p->ProjectName, "Sample");
  ASSERT_EQ(p->getSessionCount(), 2);  // the short one is still there
  EXPECT_EQ(p->getSessionData(1)->SessionUserName, "bert");
  EXPECT_EQ(p->TotalTime, 0);  // not recomputed
  EXPECT_EQ(p->State, hmClosed);
}

TEST_F(ProjectFileTest, AFailedOpenFromTheHostLeavesTheProjectClosed) {
  const std::string path = folder_.file("Demo.HMR");
  writeBytes(path, "xy");
  auto p = project();
  EXPECT_THROW(p->ProjectOpened(folder_.path() + "/Demo.dpr", "Demo", true), HmrError);
  EXPECT_EQ(p->State, hmClosed);
  EXPECT_EQ(p->getSessionCount(), 0);
}

TEST_F(ProjectFileTest, OpeningAndClosingAddsASessionToTheFile) {
  const std::string path = folder_.file("Demo.HMR");
  saveSample(path);
  auto p = project();
  p->ProjectOpened(folder_.path() + "/Demo.dpr", "ignored", true);
  EXPECT_EQ(p->FileName, path);
  EXPECT_EQ(p->ProjectName, "Sample");
  clock_.advanceSeconds(120);
  p->ActivityDetected();
  clock_.advanceSeconds(60);
  p->ProjectClosed();

  auto read = project();
  read->FileName = path;
  ASSERT_TRUE(read->LoadFile());
  ASSERT_EQ(read->getSessionCount(), 3);
  const TSessionData& last = *read->getSessionData(2);
  EXPECT_EQ(last.SessionTotalTime, 180);
  EXPECT_FALSE(last.SessionNotClosed);
}

TEST_F(ProjectFileTest, UnhandledPathForEveryHost) {
  auto lone = std::make_unique<THMRProject>();
  EXPECT_EQ(lone->UnhandledPath(), "XXXXXXX");
  EXPECT_EQ(project(ftUnknown)->UnhandledPath(), "XXXXXXXX");
  EXPECT_EQ(project(ftViewer)->UnhandledPath(), "XXXXXXXX");
  facts_.system = " \t/usr/lib/hmr-sys \n";
  EXPECT_EQ(project(ftDelphi4)->UnhandledPath(), "/usr/lib/hmr-sys");
  EXPECT_EQ(project(ftDelphi5)->UnhandledPath(), "/opt/delphi/Projects");
  EXPECT_EQ(project(ftVB6)->UnhandledPath(), "/opt/delphi/Bin/");
  facts_.executable = "/usr/lib/lazarus/2.2.6/lazarus";
  EXPECT_EQ(project(ftLazarus)->UnhandledPath(), "/usr/lib/lazarus/2.2.6/");
  facts_.executable = "/ide";
  EXPECT_EQ(project(ftDelphi5)->UnhandledPath(), "/Projects");
  facts_.executable = "ide";
  EXPECT_EQ(project(ftDelphi5)->UnhandledPath(), "Projects");
  EXPECT_EQ(project(ftVB6)->UnhandledPath(), "");
  EXPECT_EQ(project(ftLazarus)->UnhandledPath(), "");
}

// When the IDE program's own path cannot be read nothing is excluded: a project with
// "projects" in its path is still read and saved.
TEST_F(ProjectFileTest, UnreadableProgramPathExcludesNothing) {
  facts_.executable = "";
  EXPECT_EQ(project(ftDelphi5)->UnhandledPath(), "");
  auto p = project(ftDelphi5);
  const std::string file = folder_.path() + "/my-projects/Demo.HMR";
  std::filesystem::create_directories(folder_.path() + "/my-projects");
  p->AddSession(1000.0, 1000.5, false, 0);
  p->SaveFile(file);
  EXPECT_TRUE(std::filesystem::exists(file));
}

// The installation of the example, where nothing exists: an excluded path is not even
// looked at (LoadFile true although the file is missing, SaveFile silent although the folder
// is missing), while a path elsewhere is.
TEST_F(ProjectFileTest, DelphiInOptExcludesItsProjectsAndSiblingFolders) {
  for (const char* path : {"/opt/delphi/Projects/Demo.HMR", "/opt/delphi/Projects/a/b/Demo.HMR",
                           "/opt/delphi/ProjectsOld/Demo.HMR"}) {
    auto p = project(ftDelphi5);
    p->FileName = path;
    EXPECT_TRUE(p->LoadFile()) << path;
    EXPECT_NO_THROW(p->SaveFile(path)) << path;
  }
  auto p = project(ftDelphi5);
  p->FileName = "/opt/delphi/Work/Demo.HMR";
  EXPECT_FALSE(p->LoadFile());
  EXPECT_EQ(saveFailure(*p, p->FileName),
            "Error saving HMR file /opt/delphi/Work/Demo.HMR : No such file or directory");
}

// With the Delphi 5 host in <root>/delphi/Bin, projects below <root>/delphi/Projects and
// below any folder whose path holds that text are neither read nor written.
TEST_F(ProjectFileTest, TheHostsProjectsFolderIsExcludedAsASubstring) {
  facts_.executable = folder_.path() + "/delphi/Bin/ide";
  const std::string sample = folder_.file("sample.HMR");
  saveSample(sample);
  const std::string contents = readBytes(sample);

  for (const char* relative : {"delphi/Projects/Demo.HMR", "delphi/Projects/deep/er/Demo.HMR",
                               "delphi/ProjectsOld/Demo.HMR", "DELPHI/projects/Demo.HMR"}) {
    const std::string path = folder_.file(relative);
    writeBytes(path, contents);
    auto p = project(ftDelphi5);
    p->FileName = path;
    EXPECT_TRUE(p->LoadFile()) << relative;
    EXPECT_EQ(p->getSessionCount(), 0) << relative;
    EXPECT_EQ(p->ProjectName, "") << relative;
    p->AddSession(kStart, plusSeconds(kStart, 999), false, 0);
    p->SaveFile(path);
    EXPECT_EQ(readBytes(path), contents) << relative;
    const std::string fresh = folder_.file(std::string(relative) + ".new.HMR");
    p->SaveFile(fresh);
    EXPECT_FALSE(std::filesystem::exists(fresh)) << relative;
  }

  const std::string elsewhere = folder_.file("delphi/Work/Demo.HMR");
  writeBytes(elsewhere, contents);
  auto p = project(ftDelphi5);
  p->FileName = elsewhere;
  EXPECT_TRUE(p->LoadFile());
  EXPECT_EQ(p->getSessionCount(), 2);
}

TEST_F(ProjectFileTest, TheSystemFolderIsExcludedForDelphi4) {
  facts_.system = folder_.path() + "/win";
  const std::string path = folder_.file("win/sub/Demo.HMR");
  auto p = project(ftDelphi4);
  p->AddSession(kStart, plusSeconds(kStart, 999), false, 0);
  p->SaveFile(path);
  EXPECT_FALSE(std::filesystem::exists(path));
  p->SaveFile(folder_.file("other/Demo.HMR"));
  EXPECT_TRUE(std::filesystem::exists(folder_.path() + "/other/Demo.HMR"));
}

TEST_F(ProjectFileTest, APathWithoutAFolderIsNeitherReadNorWritten) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder_.path());
  saveSample(folder_.file("Demo.HMR"));  // would be found through the working folder
  const std::string before = readBytes("Demo.HMR");
  auto p = project();
  p->FileName = "Demo.HMR";
  EXPECT_TRUE(p->LoadFile());
  EXPECT_EQ(p->getSessionCount(), 0);
  p->AddSession(kStart, plusSeconds(kStart, 999), false, 0);
  p->SaveFile("Demo.HMR");
  p->SaveFile("New.HMR");
  const std::string after = readBytes("Demo.HMR");
  const bool created = std::filesystem::exists("New.HMR");
  std::filesystem::current_path(previous);
  EXPECT_EQ(after, before);
  EXPECT_FALSE(created);
}

TEST_F(ProjectFileTest, AFullDiskLeavesTheOldFileAndNoTemporary) {
  const std::string path = folder_.file("Demo.HMR");
  saveSample(path);
  const std::string before = readBytes(path);
  FaultInjectingFileWriter disk;
  disk.failWritesAfter(10, ENOSPC);
  ScopedFileWriter use(disk);
  auto p = project();
  p->ProjectName = "Changed";
  EXPECT_EQ(saveFailure(*p, path), "Error saving HMR file " + path + " : No space left on device");
  EXPECT_EQ(readBytes(path), before);
  EXPECT_EQ(folder_.names(), std::vector<std::string>{"Demo.HMR"});
  EXPECT_EQ(p->ProjectName, "Changed");
}

TEST_F(ProjectFileTest, AFailingRenameLeavesTheOldFileAndNoTemporary) {
  const std::string path = folder_.file("Demo.HMR");
  saveSample(path);
  const std::string before = readBytes(path);
  FaultInjectingFileWriter disk;
  disk.failRename(EIO);
  ScopedFileWriter use(disk);
  auto p = project();
  EXPECT_EQ(saveFailure(*p, path), "Error saving HMR file " + path + " : Input/output error");
  EXPECT_EQ(readBytes(path), before);
  EXPECT_EQ(folder_.names(), std::vector<std::string>{"Demo.HMR"});
}

TEST_F(ProjectFileTest, AFailedCloseKeepsTheProjectAndTheOldFile) {
  const std::string path = folder_.file("Demo.HMR");
  saveSample(path);
  const std::string before = readBytes(path);
  auto p = project();
  p->ProjectOpened(folder_.path() + "/Demo.dpr", "", true);
  clock_.advanceSeconds(600);
  FaultInjectingFileWriter disk;
  disk.failWritesAfter(0, ENOSPC);
  ScopedFileWriter use(disk);
  EXPECT_THROW(p->ProjectClosed(), HmrError);
  EXPECT_EQ(readBytes(path), before);
  EXPECT_EQ(p->getSessionCount(), 3);  // still held, to be saved again
  EXPECT_EQ(p->FileName, path);
}

TEST_F(ProjectFileTest, AReadOnlyFolderRefusesTheSaveAndKeepsTheOldFile) {
  if (!testing::permissionsAreEnforced(folder_))
    GTEST_SKIP() << "running as root: the fault-injected disk covers this failure";
  const std::string path = folder_.file("ro/Demo.HMR");
  saveSample(path);
  const std::string before = readBytes(path);
  const std::string ro = folder_.path() + "/ro";
  ASSERT_EQ(::chmod(ro.c_str(), 0500), 0);
  auto p = project();
  EXPECT_EQ(saveFailure(*p, path), "Error saving HMR file " + path + " : Permission denied");
  ASSERT_EQ(::chmod(ro.c_str(), 0700), 0);
  EXPECT_EQ(readBytes(path), before);
  EXPECT_EQ(std::filesystem::directory_iterator(ro)->path().filename(), "Demo.HMR");
}

TEST_F(ProjectFileTest, SavingKeepsThePermissionBits) {
  const std::string path = folder_.file("Demo.HMR");
  saveSample(path);
  ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
  project()->SaveFile(path);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
}

}  // namespace
}  // namespace hmr
