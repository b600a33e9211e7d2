// SPDX-License-Identifier: MIT
// `hmr git-setup`, run as the real program on repositories of the real git, with a home and a
// global git config of their own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/HMRFileIO.h"
#include "core/uHMRGlobal.h"
#include "tests/support/GitSupport.h"
#include "tests/support/RunProgram.h"
#include "tests/support/Sessions.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;
using test_support::ProgramRun;
using testing::readBytes;
using testing::writeBytes;
using ::testing::HasSubstr;
using ::testing::Not;

class CmdGitSetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test_support::findOnPath("git").empty()) GTEST_SKIP() << "git is not installed";
    test_support::initRepository(repo_, "ann", scratch_.path());
  }

  ProgramRun hmr(std::vector<std::string> args, const std::string& program = HMR_CLI_PATH) {
    args.insert(args.begin(), "git-setup");
    return test_support::runProgram(program, args, runs_.path());
  }
  ProgramRun git(const std::vector<std::string>& args) {
    return test_support::git(repo_, args, runs_.path());
  }
  std::string config(const std::string& key) { return git({"config", "--get", key}).out; }

  testing::TempFolder scratch_;
  testing::TempFolder runs_;
  test_support::GitEnvironment environment_{scratch_.path()};
  std::string repo_ = scratch_.path() + "/repo";
  std::string hmrPath_ = fs::canonical(HMR_CLI_PATH).string();
};

TEST_F(CmdGitSetupTest, SetsUpARepositoryOnceKeepingItsOtherAttributes) {
  writeBytes(repo_ + "/.gitattributes", "*.png binary\n# ours\n*.txt text eol=lf");  // no \n
  fs::create_directories(repo_ + "/src/deep");
  const ProgramRun first = hmr({repo_ + "/src/deep"});  // any folder of the repository
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_THAT(first.out, HasSubstr(repo_ + "/.gitattributes: added \"*.HMR merge=hmr "
                                           "diff=hmr\"\n"));
  EXPECT_THAT(first.out, HasSubstr("Commit " + repo_ + "/.gitattributes"));
  const std::string attributes = readBytes(repo_ + "/.gitattributes");
  EXPECT_EQ(attributes,
            "*.png binary\n# ours\n*.txt text eol=lf\n*.HMR merge=hmr diff=hmr\n"
            "*.hmr merge=hmr diff=hmr\n");
  EXPECT_EQ(config("merge.hmr.driver"), "'" + hmrPath_ + "' merge %O %A %B --path %P\n");
  EXPECT_EQ(config("diff.hmr.textconv"), "'" + hmrPath_ + "' dump --textconv\n");
  EXPECT_THAT(config("merge.hmr.name"), HasSubstr("HMR data files"));
  EXPECT_EQ(git({"check-attr", "merge", "diff", "--", "a/b/Project.HMR"}).out,
            "a/b/Project.HMR: merge: hmr\na/b/Project.HMR: diff: hmr\n");

  const std::string configFile = readBytes(repo_ + "/.git/config");
  const ProgramRun again = hmr({repo_});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out, "Nothing to do: git already merges and shows data files with this hmr.\n");
  EXPECT_EQ(readBytes(repo_ + "/.gitattributes"), attributes);
  EXPECT_EQ(readBytes(repo_ + "/.git/config"), configFile);
  EXPECT_EQ(readBytes(environment_.home() + "/gitconfig"), "");  // nothing global
}

TEST_F(CmdGitSetupTest, ALineWithOurAttributesInAnotherOrderIsNotAddedAgain) {
  writeBytes(repo_ + "/.gitattributes", "  *.HMR   diff=hmr merge=hmr  \n*.hmr merge=hmr\n");
  ASSERT_EQ(hmr({repo_}).status, 0);
  EXPECT_EQ(readBytes(repo_ + "/.gitattributes"),
            "  *.HMR   diff=hmr merge=hmr  \n*.hmr merge=hmr\n*.hmr merge=hmr diff=hmr\n");
}

TEST_F(CmdGitSetupTest, CheckSaysWhatIsMissingAndChangesNothing) {
  const ProgramRun before = hmr({"--check", repo_});
  EXPECT_EQ(before.status, 1);
  EXPECT_EQ(before.out,
            "missing: attributes \"*.HMR merge=hmr diff=hmr\"\n"
            "missing: attributes \"*.hmr merge=hmr diff=hmr\"\n"
            "missing: merge.hmr.driver = '" + hmrPath_ + "' merge %O %A %B --path %P\n"
            "missing: diff.hmr.textconv = '" + hmrPath_ + "' dump --textconv\n");
  EXPECT_FALSE(fs::exists(repo_ + "/.gitattributes"));
  EXPECT_EQ(config("merge.hmr.driver"), "");

  ASSERT_EQ(hmr({repo_}).status, 0);
  const ProgramRun after = hmr({"--check", repo_});
  EXPECT_EQ(after.status, 0);
  EXPECT_EQ(after.out, "ok: attributes \"*.HMR merge=hmr diff=hmr\"\n"
                       "ok: attributes \"*.hmr merge=hmr diff=hmr\"\n"
                       "ok: merge.hmr.driver\nok: diff.hmr.textconv\n");

  // A driver that names another hmr (an old installation) is reported with what it says.
  git({"config", "merge.hmr.driver", "/opt/old/hmr merge %O %A %B"});
  const ProgramRun stale = hmr({"--check", repo_});
  EXPECT_EQ(stale.status, 1);
  EXPECT_THAT(stale.out, HasSubstr("missing: merge.hmr.driver = '" + hmrPath_ +
                                   "' merge %O %A %B --path %P (it is /opt/old/hmr merge %O "
                                   "%A %B)\n"));
  ASSERT_EQ(hmr({repo_}).status, 0);  // setting up again puts this hmr back
  EXPECT_EQ(hmr({"--check", repo_}).status, 0);
}

TEST_F(CmdGitSetupTest, GlobalWritesTheUsersConfigAndAttributesFile) {
  const ProgramRun run = hmr({"--global"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string attributesFile = environment_.home() + "/xdg/git/attributes";
  EXPECT_EQ(readBytes(attributesFile), "*.HMR merge=hmr diff=hmr\n*.hmr merge=hmr diff=hmr\n");
  EXPECT_THAT(readBytes(environment_.home() + "/gitconfig"), HasSubstr("[merge \"hmr\"]"));
  EXPECT_EQ(config("merge.hmr.driver"), "'" + hmrPath_ + "' merge %O %A %B --path %P\n");
  EXPECT_FALSE(fs::exists(repo_ + "/.gitattributes"));
  // Every repository of the user now has it.
  EXPECT_EQ(hmr({"--check", repo_}).status, 0);
  EXPECT_EQ(hmr({"--check", "--global"}).status, 0);
  EXPECT_EQ(hmr({"--global"}).out,
            "Nothing to do: git already merges and shows data files with this hmr.\n");
}

TEST_F(CmdGitSetupTest, GlobalUsesTheAttributesFileGitIsToldOf) {
  git({"config", "--global", "core.attributesFile", "~/my-attributes"});
  writeBytes(environment_.home() + "/my-attributes", "*.bin binary\n");
  const ProgramRun run = hmr({"--global"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(readBytes(environment_.home() + "/my-attributes"),
            "*.bin binary\n*.HMR merge=hmr diff=hmr\n*.hmr merge=hmr diff=hmr\n");
  EXPECT_FALSE(fs::exists(environment_.home() + "/xdg/git/attributes"));
}

TEST_F(CmdGitSetupTest, OutsideARepositoryItFailsSayingSo) {
  const std::string outside = scratch_.file("outside/");
  const ProgramRun run = hmr({outside});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr("hmr git-setup: " + outside + " is not in a git work tree: "));
  EXPECT_THAT(run.err, HasSubstr("not a git repository"));
  EXPECT_EQ(hmr({"--global", repo_}).status, 2);  // a folder and --global exclude each other
}

// An hmr installed under a name with a blank and a quote still runs as git's merge driver and
// text view: the path is quoted for the shell that git runs them with.
TEST_F(CmdGitSetupTest, TheDriverRunsFromAPathThatNeedsQuoting) {
  const std::string odd = scratch_.file("it's my tools/hmr");
  fs::copy_file(HMR_CLI_PATH, odd);
  fs::permissions(odd, fs::perms::owner_all);
  ASSERT_EQ(hmr({repo_}, odd).status, 0);
  std::vector<TSessionData> sessions;
  const TDateTime monday = encodeDateTime(2026, 12, 7, 9, 0, 0);
  sessions.push_back(test_support::makeSession(monday, 3600, 0, false, "ann"));
  writeHmrFile(repo_ + "/P.HMR", 300, 60, "P", sessions);
  git({"add", "."});
  git({"commit", "-qm", "base"});
  git({"checkout", "-qb", "side"});
  sessions.push_back(test_support::makeSession(monday + 1, 600, 0, false, "bob"));
  writeHmrFile(repo_ + "/P.HMR", 300, 60, "P", sessions);
  git({"commit", "-qam", "bob"});
  git({"checkout", "-q", "main"});
  sessions.back() = test_support::makeSession(monday + 2, 900, 0, false, "ann");
  writeHmrFile(repo_ + "/P.HMR", 300, 60, "P", sessions);
  git({"commit", "-qam", "ann"});
  const ProgramRun merged = git({"merge", "-q", "side", "-m", "merge"});
  ASSERT_EQ(merged.status, 0) << merged.out << merged.err;
  HmrFileContents contents;
  readHmrFile(repo_ + "/P.HMR", contents);
  EXPECT_EQ(contents.sessions.size(), 3u);
  const ProgramRun shown = git({"show", "HEAD~1", "--", "P.HMR"});
  EXPECT_THAT(shown.out, HasSubstr("+2026-12-09T09:00:00 to 2026-12-09T09:15:00, work 0:15:00"));
  EXPECT_THAT(shown.out, Not(HasSubstr("Binary files")));
}

}  // namespace
}  // namespace hmr
