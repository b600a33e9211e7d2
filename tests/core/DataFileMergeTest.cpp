// SPDX-License-Identifier: MIT
// The merge of three data files on disk: the result over OURS, nothing written when a side
// does not read or the save fails.
#include "core/DataFileMerge.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "core/HMRFileIO.h"
#include "core/uHMRGlobal.h"
#include "platform/FileWriter.h"
#include "platform/HmrError.h"
#include "tests/platform/FaultInjectingFileWriter.h"
#include "tests/support/Sessions.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

using test_support::makeSession;
using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const TDateTime kMonday = encodeDateTime(2026, 12, 7, 9, 0, 0);

class DataFileMergeTest : public ::testing::Test {
 protected:
  // Writes a data file holding one session per user, each on the day after the one before.
  std::string write(const std::string& name, std::vector<std::string> users,
                    std::int64_t idle = 300) {
    std::vector<TSessionData> sessions;
    for (std::size_t day = 0; day < users.size(); ++day)
      sessions.push_back(makeSession(kMonday + static_cast<double>(day), 3600, 0, false,
                                     users[day]));
    const std::string path = folder_.file(name);
    writeHmrFile(path, idle, 60, "Demo", sessions);
    return path;
  }

  std::vector<std::string> users(const std::string& path) {
    HmrFileContents contents;
    readHmrFile(path, contents);
    std::vector<std::string> out;
    for (const auto& s : contents.sessions) out.push_back(s.SessionUserName);
    return out;
  }

  TempFolder folder_;
};

TEST_F(DataFileMergeTest, TheResultReplacesOursAsAVersion2File) {
  const std::string base = write("base", {"ann"});
  const std::string ours = write("ours", {"ann", "ann"});
  const std::string theirs = write("theirs", {"ann", "", "bob"});
  chmod(ours.c_str(), 0640);
  const std::string baseBefore = readBytes(base), theirsBefore = readBytes(theirs);
  EXPECT_THAT(mergeDataFiles(base, ours, theirs), IsEmpty());
  EXPECT_THAT(users(ours), ElementsAre("ann", "", "ann", "bob"));  // by open time, then user
  struct stat st {};
  ASSERT_EQ(stat(ours.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // the safe save keeps its permission bits
  EXPECT_EQ(readBytes(base), baseBefore);
  EXPECT_EQ(readBytes(theirs), theirsBefore);
  EXPECT_THAT(folder_.names(), ElementsAre("base", "ours", "theirs"));  // no leftovers
}

TEST_F(DataFileMergeTest, AnEmptyBaseMergesAsAUnion) {
  const std::string base = folder_.file("base");
  writeBytes(base, "");
  const std::string ours = write("ours", {"ann"}, 600);
  const std::string theirs = write("theirs", {"ann", "bob"}, 900);
  EXPECT_THAT(mergeDataFiles(base, ours, theirs),
              ElementsAre(HasSubstr("(OURS 600 s, THEIRS 900 s, no common history)")));
  EXPECT_THAT(users(ours), ElementsAre("ann", "bob"));
}

TEST_F(DataFileMergeTest, ASideThatDoesNotReadIsNamedAndNothingIsWritten) {
  const std::string base = write("base", {"ann"});
  const std::string ours = write("ours", {"ann", "ann"});
  const std::string theirs = write("theirs", {"ann", "bob"});
  const std::string oursBefore = readBytes(ours);
  std::string damaged = readBytes(theirs);
  damaged[30] ^= 0x20;
  const std::string broken = folder_.file("broken");
  writeBytes(broken, damaged);
  const std::string cut = folder_.file("cut");
  writeBytes(cut, readBytes(theirs).substr(0, 40));
  const std::string empty = folder_.file("empty");
  writeBytes(empty, "");

  struct Case {
    std::string base, ours, theirs, side, cause;
  };
  const std::vector<Case> cases = {
      {base, ours, broken, "THEIRS", "HMR file is corrupted"},
      {base, ours, cut, "THEIRS", "HMR file is corrupted"},
      {base, ours, empty, "THEIRS", "HMR file is corrupted"},
      {broken, ours, theirs, "BASE", "HMR file is corrupted"},
      {base, ours, folder_.file("missing"), "THEIRS", "No such file or directory"},
      {base, ours, folder_.path(), "THEIRS", "Is a directory"},
      {base, "/dev/null", theirs, "OURS", "Not a regular file"},
  };
  for (const Case& c : cases) {
    try {
      mergeDataFiles(c.base, c.ours, c.theirs);
      ADD_FAILURE() << c.side << " " << c.cause << ": merged";
    } catch (const HmrError& e) {
      EXPECT_THAT(e.what(), HasSubstr("Cannot merge: " + c.side +
                                      " does not read as an HMR data file: Error reading HMR "
                                      "file "));
      EXPECT_THAT(e.what(), HasSubstr(c.cause));
    }
    EXPECT_EQ(readBytes(ours), oursBefore) << c.side << " " << c.cause;
  }
}

TEST_F(DataFileMergeTest, ASaveThatFailsLeavesOursAsItWas) {
  const std::string base = write("base", {"ann"});
  const std::string ours = write("ours", {"ann", "ann"});
  const std::string theirs = write("theirs", {"ann", "bob"});
  const std::string before = readBytes(ours);
  FaultInjectingFileWriter writer;
  writer.failWritesAfter(10);
  ScopedFileWriter use(writer);
  try {
    mergeDataFiles(base, ours, theirs);
    ADD_FAILURE() << "merged on a full disk";
  } catch (const HmrError& e) {
    EXPECT_THAT(e.what(), HasSubstr("Error saving HMR file " + ours + " : "));
    EXPECT_THAT(e.what(), HasSubstr("No space left on device"));
  }
  EXPECT_EQ(readBytes(ours), before);
  EXPECT_THAT(folder_.names(), ElementsAre("base", "ours", "theirs"));
}

TEST_F(DataFileMergeTest, AVersion1SideIsWrittenBackAsVersion2) {
  // Version 1: hours as doubles, no user names.
  std::string v1;
  const auto put = [&v1](const void* p, std::size_t n) {
    v1.append(static_cast<const char*>(p), n);
  };
  const std::int32_t one = 1, nameLength = 3, count = 1;
  const double idleHours = 0.25, minimumHours = 1.0 / 60, open = kMonday + 3,
               close = kMonday + 3 + 1.0 / 24, sessionIdle = 0.0;
  const char notClosed = 0;
  put(&one, 4), put(&idleHours, 8), put(&minimumHours, 8), put(&nameLength, 4), put("Old", 3);
  put(&count, 4), put(&open, 8), put(&close, 8), put(&notClosed, 1), put(&sessionIdle, 8);
  const std::int32_t crc = CalculateCRC(v1.data(), static_cast<std::int32_t>(v1.size()));
  put(&crc, 4);
  const std::string theirs = folder_.file("theirs");
  writeBytes(theirs, v1);
  const std::string base = write("base", {});
  const std::string ours = write("ours", {"ann"});
  mergeDataFiles(base, ours, theirs);
  HmrFileContents merged;
  readHmrFile(ours, merged);
  EXPECT_EQ(merged.version, 2);
  EXPECT_EQ(merged.timeForIdle, 900);  // changed on THEIRS only
  EXPECT_EQ(merged.projectName, "Old");
  EXPECT_THAT(users(ours), ElementsAre("ann", ""));
}

}  // namespace
}  // namespace hmr
