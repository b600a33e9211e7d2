// SPDX-License-Identifier: MIT
// Data files read ahead on several threads: each result is what reading that file alone gives,
// in the order of the paths, failures kept in place; and a project opened from a read-ahead
// is the project opened from its file.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/DataFileReadAhead.h"
#include "core/HMRFileFormat.h"
#include "core/HMRFileIO.h"
#include "core/uHMRProject.h"
#include "core/uHMRProjectGroup.h"
#include "core/uHMRTimer.h"
#include "platform/HmrError.h"
#include "platform/PeriodicTimer.h"
#include "tests/support/Sessions.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

using test_support::makeSession;

class DataFileReadAheadTest : public ::testing::Test {
 protected:
  // Project `index` of `sessions` sessions, or a damaged or missing file for some indexes.
  std::string makeFile(int index, int sessions) {
    const std::string path = scratch_.file("p" + std::to_string(index) + ".HMR");
    if (index % 7 == 3) {
      testing::writeBytes(path, "not a data file");
    } else if (index % 7 != 5) {
      std::vector<TSessionData> list;
      for (int k = 0; k < sessions; ++k) {
        list.push_back(makeSession(46000 + k + index / 100.0, 600 + k, k % 60, false,
                                   k % 2 ? "ann" : "bob"));
      }
      testing::writeBytes(path, encodeHmrFile(3600, 300, "P" + std::to_string(index), list));
    }
    return path;
  }

  static std::string errorOf(const DataFileRead& read) {
    if (!read.failure) return "";
    try {
      std::rethrow_exception(read.failure);
    } catch (const HmrError& e) {
      return e.what();
    }
  }

  testing::TempFolder scratch_;
  ScopedTimerGlobal timer_{std::make_unique<ManualTimer>()};
};

TEST_F(DataFileReadAheadTest, EachResultIsThatOfReadingTheFileAlone) {
  std::vector<std::string> paths;
  for (int i = 0; i < 30; ++i) paths.push_back(makeFile(i, 50 + i * 13));
  paths.push_back(paths[4]);  // a file named twice is read twice
  for (const unsigned threads : {1u, 3u, 8u, 0u}) {
    const std::vector<DataFileRead> reads = readDataFilesAhead(paths, threads);
    ASSERT_EQ(reads.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
      HmrFileContents alone;
      std::string error;
      try {
        readHmrFile(paths[i], alone);
      } catch (const HmrError& e) {
        error = e.what();
      }
      EXPECT_EQ(errorOf(reads[i]), error) << paths[i] << " threads " << threads;
      ASSERT_EQ(reads[i].contents.sessions.size(), alone.sessions.size()) << paths[i];
      EXPECT_EQ(reads[i].contents.projectName, alone.projectName) << paths[i];
      for (std::size_t k = 0; k < alone.sessions.size(); ++k) {
        test_support::expectSameSession(alone.sessions[k], reads[i].contents.sessions[k]);
      }
    }
  }
  EXPECT_TRUE(readDataFilesAhead({}).empty());
}

// Files decoded at once on two threads name their users from one pool: the sessions of one
// user share one copy of the name across files, and every session keeps its own user.
TEST_F(DataFileReadAheadTest, FilesDecodedAtOnceShareTheNamesOfTheirUsers) {
  const std::vector<std::string> team = {"ann", "bob", "cyd", "dora"};
  std::vector<std::string> paths;
  for (int f = 0; f < 16; ++f) {
    std::vector<TSessionData> list;
    for (int k = 0; k < 2000; ++k) {
      const std::string user = k % 5 == 4 ? "own" + std::to_string(f) : team[(k + f) % 4];
      list.push_back(makeSession(46000 + k / 8.0, 600, 0, false, user));
    }
    paths.push_back(scratch_.file("team" + std::to_string(f) + ".HMR"));
    testing::writeBytes(paths.back(), encodeHmrFile(300, 60, "T", list));
  }
  const std::vector<DataFileRead> reads = readDataFilesAhead(paths, 2);
  std::vector<const char*> copyOf(team.size(), nullptr);
  for (std::size_t f = 0; f < reads.size(); ++f) {
    ASSERT_FALSE(reads[f].failure) << errorOf(reads[f]);
    ASSERT_EQ(reads[f].contents.sessions.size(), 2000u);
    for (std::size_t k = 0; k < 2000; ++k) {
      const InternedName& name = reads[f].contents.sessions[k].SessionUserName;
      if (k % 5 == 4) {
        ASSERT_EQ(name, "own" + std::to_string(f)) << f << " " << k;
        continue;
      }
      const std::size_t user = (k + f) % 4;
      ASSERT_EQ(name, team[user]) << f << " " << k;
      if (!copyOf[user]) copyOf[user] = name.data();
      ASSERT_EQ(name.data(), copyOf[user]) << f << " " << k;
    }
  }
}

TEST_F(DataFileReadAheadTest, AGroupTakesAReadAheadAsTheFileItself) {
  std::vector<std::string> paths{makeFile(0, 40), makeFile(1, 25), makeFile(3, 0),
                                 makeFile(5, 0)};
  std::vector<DataFileRead> reads = readDataFilesAhead(paths);
  THMRProjectGroup ahead;
  THMRProjectGroup now;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    std::string aheadError, nowError;
    try {
      ahead.AddDataFile(paths[i], std::move(reads[i]));
    } catch (const HmrError& e) {
      aheadError = e.what();
    }
    try {
      now.AddDataFile(paths[i]);
    } catch (const HmrError& e) {
      nowError = e.what();
    }
    EXPECT_EQ(aheadError, nowError) << paths[i];
    EXPECT_EQ(aheadError.empty(), i < 2) << aheadError;
  }
  ASSERT_EQ(ahead.getProjectCount(), 2);
  ASSERT_EQ(now.getProjectCount(), 2);
  for (std::int32_t p = 0; p < 2; ++p) {
    const THMRProject& a = *ahead.getProject(p);
    const THMRProject& b = *now.getProject(p);
    EXPECT_EQ(a.GetHMRName(), b.GetHMRName());
    EXPECT_EQ(a.TotalTime, b.TotalTime);
    ASSERT_EQ(a.getSessionCount(), b.getSessionCount());
    for (std::int32_t k = 0; k < a.getSessionCount(); ++k) {
      test_support::expectSameSession(*b.getSessionData(k), *a.getSessionData(k));
    }
  }
}

}  // namespace
}  // namespace hmr
