// SPDX-License-Identifier: MIT
#include "host/ide/IdeScript.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/StandInIdeFixture.h"

namespace hmr::ide_test {
namespace {

TEST(ScriptLineTest, WordsAreSplitOnBlanksAndQuotesHoldBlanks) {
  EXPECT_EQ(splitScriptLine("  open-file  a.pas\tb.dpr "),
            (std::vector<std::string>{"open-file", "a.pas", "b.dpr"}));
  EXPECT_EQ(splitScriptLine("menu \"Project Revedazl\""),
            (std::vector<std::string>{"menu", "Project Revedazl"}));
  EXPECT_EQ(splitScriptLine("edit x.pas\r"), (std::vector<std::string>{"edit", "x.pas"}));
  EXPECT_TRUE(splitScriptLine("   ").empty());
  EXPECT_THROW(splitScriptLine("menu \"open"), ScriptError);
}

// The usages --help lists, one per command.
std::vector<std::string> listedUsages() {
  std::vector<std::string> usages;
  const std::string help = scriptCommandsHelp();
  for (std::size_t from = 0; from <= help.size();) {
    const std::size_t bar = std::min(help.find(" | ", from), help.size());
    usages.push_back(help.substr(from, bar - from));
    from = bar + 3;
  }
  return usages;
}

TEST(ScriptHelpTest, EveryCommandIsListedWithItsUsage) {
  EXPECT_EQ(listedUsages(),
            (std::vector<std::string>{
                "clock YYYY-MM-DDTHH:MM:SS", "advance SECONDS", "open-project PATH",
                "open-file PATH [OWNER...]", "activate PATH", "edit PATH", "edit-form PATH",
                "rename PATH NEWPATH", "close-file PATH", "close-project PATH",
                "install-package PATH", "menu CAPTION", "shift-clock [-]SECONDS", "crash",
                "signal FILE", "wait-for FILE", "quit"}));
}

class ScriptTest : public IdeFixture {
 protected:
  void run(const std::string& text) {
    std::istringstream script(text);
    runIdeScript(*ide, script);
  }
  std::string failure(const std::string& text) {
    try {
      run(text);
    } catch (const ScriptError& e) {
      return e.what();
    }
    return "no error";
  }
};

TEST_F(ScriptTest, AScriptDrivesTheIdeOnTheVirtualClock) {
  loadPackage();
  run("# a comment\n"
      "clock 2026-05-04T08:30:00\n"
      "\n"
      "open-project " + file("one.dpr") + "\n"
      "advance 45\n"
      "quit\n"
      "advance 1000\n");
  EXPECT_EQ(ide->time().elapsedSeconds(), 45);
  EXPECT_EQ(ConvertDateTimeToSeconds(ide->virtualClock().now()),
            ConvertDateTimeToSeconds(at("2026-05-04T08:30:45")));
  ASSERT_EQ(group().getProjectCount(), 1);
  EXPECT_EQ(project(file("one.dpr"))->getSessionData(0)->SessionDateTimeOpen,
            at("2026-05-04T08:30:00"));
}

TEST_F(ScriptTest, ErrorsNameTheLine) {
  EXPECT_EQ(failure("clock 2026-05-04T08:30:00\nfly away\n"), "line 2: unknown command fly");
  EXPECT_EQ(failure("advance ten\n"), "line 1: not a number of seconds: ten");
  EXPECT_EQ(failure("advance -5\n"), "line 1: not a number of seconds: -5");
  EXPECT_EQ(failure("clock yesterday\n"), "line 1: not a date and time: yesterday");
  EXPECT_EQ(failure("edit a b\n"), "line 1: usage: edit PATH");
  EXPECT_EQ(failure("edit " + file("none.pas") + "\n"),
            "line 1: no open file " + file("none.pas"));
  EXPECT_EQ(failure("advance 1\nclock 2026-05-04T08:30:00\n"),
            "line 2: the clock can only be set before time passes");
}

// Two IDEs played in step: one makes a file when it is done with a step, the other waits for it
// (here a thread plays the other IDE).
TEST_F(ScriptTest, SignalMakesAFileThatWaitForWaitsFor) {
  const std::string step = file("step-1");
  std::thread other([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    std::ofstream(file("step-0")) << "";
  });
  run("wait-for " + file("step-0") + "\nsignal " + step + "\n");
  other.join();
  EXPECT_TRUE(std::filesystem::exists(step));
  EXPECT_EQ(std::filesystem::file_size(step), 0u);
  run("signal " + step + "\nwait-for " + step + "\n");  // again: nothing changes, no wait
  EXPECT_EQ(failure("signal " + file("no/such/folder") + "\n"),
            "line 1: cannot make " + file("no/such/folder") + ": No such file or directory");
}

// The reader knows every command that --help lists, and refuses a wrong number of arguments
// with the very usage listed.
TEST_F(ScriptTest, EveryListedCommandIsReadWithTheUsageListed) {
  for (const std::string& usage : listedUsages()) {
    const std::string name = usage.substr(0, usage.find(' '));
    // Too many arguments, or none for the one that takes any number after its first.
    const bool open = usage.find("...") != std::string::npos;
    EXPECT_EQ(failure(name + (open ? "" : " one two three")), "line 1: usage: " + usage) << name;
  }
  EXPECT_EQ(failure("\nshout"), "line 2: unknown command shout");
}

}  // namespace
}  // namespace hmr::ide_test
