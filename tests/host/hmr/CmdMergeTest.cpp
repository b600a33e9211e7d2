// SPDX-License-Identifier: MIT
// `hmr merge`, run as the real program the way git runs its merge drivers: three files, the
// result over the second, the exit status telling merged from conflict.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/HMRFileIO.h"
#include "core/uHMRGlobal.h"
#include "tests/support/RunProgram.h"
#include "tests/support/Sessions.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

using test_support::ProgramRun;
using testing::readBytes;
using testing::writeBytes;
using ::testing::HasSubstr;

const TDateTime kMonday = encodeDateTime(2026, 12, 7, 9, 0, 0);

class CmdMergeTest : public ::testing::Test {
 protected:
  // A data file with one hour-long session per entry of `users`, one day after the other.
  std::string write(const std::string& name, const std::vector<std::string>& users,
                    std::int64_t idle = 300) {
    std::vector<TSessionData> sessions;
    for (std::size_t day = 0; day < users.size(); ++day)
      sessions.push_back(test_support::makeSession(kMonday + static_cast<double>(day), 3600, 0,
                                                   false, users[day]));
    const std::string path = folder_.file(name);
    writeHmrFile(path, idle, 60, "Demo", sessions);
    return path;
  }

  ProgramRun hmr(std::vector<std::string> args) {
    args.insert(args.begin(), "merge");
    return test_support::runProgram(HMR_CLI_PATH, args, runs_.path());
  }

  std::string dumpText(const std::string& path) {
    return test_support::runProgram(HMR_CLI_PATH, {"dump", "--text", path}, runs_.path()).out;
  }

  testing::TempFolder folder_;
  testing::TempFolder runs_;
};

TEST_F(CmdMergeTest, MergesBothSidesIntoOursQuietly) {
  const std::string base = write("base", {"ann"});
  const std::string ours = write("ours", {"ann", "ann"});
  const std::string theirs = write("theirs", {"ann", "", "bob"});
  const ProgramRun run = hmr({base, ours, theirs});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(dumpText(ours),
            "HMR data file version 2, project \"Demo\"\n"
            "idle threshold 300 s, minimum work time 60 s\n"
            "2026-12-07T09:00:00 to 2026-12-07T10:00:00, work 1:00:00, idle 0:00:00, \"ann\"\n"
            "2026-12-08T09:00:00 to 2026-12-08T10:00:00, work 1:00:00, idle 0:00:00, \"\"\n"
            "2026-12-08T09:00:00 to 2026-12-08T10:00:00, work 1:00:00, idle 0:00:00, \"ann\"\n"
            "2026-12-09T09:00:00 to 2026-12-09T10:00:00, work 1:00:00, idle 0:00:00, \"bob\"\n");
}

TEST_F(CmdMergeTest, WhatItOverridesIsSaidOnStandardErrorNamingTheFile) {
  const std::string base = write("base", {"ann", "bob"});
  const std::string ours = write("ours", {"ann", "bob"}, 600);
  const std::string theirs = write("theirs", {"ann"}, 900);
  const ProgramRun run = hmr({base, ours, theirs, "--path", "src/Project.HMR"});
  EXPECT_EQ(run.status, 0);  // merged: git takes the result
  EXPECT_EQ(run.err,
            "hmr merge: src/Project.HMR: The idle threshold was changed on both sides (OURS "
            "600 s, THEIRS 900 s, before 300 s): OURS's value is kept\n"
            "hmr merge: src/Project.HMR: Left out 1 session that THEIRS removed (the first: "
            "\"bob\", opened 2026-12-08T09:00:00)\n");
  EXPECT_THAT(dumpText(ours), HasSubstr("idle threshold 600 s"));
}

TEST_F(CmdMergeTest, AnEmptyBaseIsAFileAddedOnBothSides) {
  const std::string base = folder_.file("base");
  writeBytes(base, "");
  const std::string ours = write("ours", {"ann"});
  const std::string theirs = write("theirs", {"ann", "bob"});
  const ProgramRun run = hmr({base, ours, theirs});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_THAT(dumpText(ours), HasSubstr("\"ann\"\n2026-12-08T09:00:00"));
}

TEST_F(CmdMergeTest, ADamagedSideIsAConflictAndOursStaysAsItWas) {
  const std::string base = write("base", {"ann"});
  const std::string ours = write("ours", {"ann", "ann"});
  const std::string before = readBytes(ours);
  std::string image = readBytes(write("theirs", {"ann", "bob"}));
  image[image.size() - 6] = 'X';  // "bob" became "bXb": the checksum no longer fits
  const std::string theirs = folder_.file("theirs");
  writeBytes(theirs, image);
  const ProgramRun run = hmr({base, ours, theirs, "--path", "Project.HMR"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "hmr merge: Project.HMR: Cannot merge: THEIRS does not read as an HMR "
                     "data file: Error reading HMR file " + theirs +
                     " : HMR file is corrupted\n");
  EXPECT_EQ(readBytes(ours), before);

  const std::string text = folder_.file("text.HMR");
  writeBytes(text, "<<<<<<< ours\n=======\n>>>>>>> theirs\n");  // another format altogether
  const ProgramRun conflict = hmr({base, text, theirs});
  EXPECT_EQ(conflict.status, 1);
  EXPECT_THAT(conflict.err, HasSubstr("Cannot merge: OURS does not read"));
  EXPECT_EQ(readBytes(text), "<<<<<<< ours\n=======\n>>>>>>> theirs\n");
}

TEST_F(CmdMergeTest, WrongUsageIsStatusTwo) {
  EXPECT_EQ(hmr({}).status, 2);
  EXPECT_EQ(hmr({"a", "b"}).status, 2);
  EXPECT_EQ(hmr({"a", "b", "c", "d"}).status, 2);
  const ProgramRun help = hmr({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_THAT(help.out, HasSubstr("git's merge driver"));
}

}  // namespace
}  // namespace hmr
