// SPDX-License-Identifier: MIT
#include "setup/InstallerOutput.h"

#include <gtest/gtest.h>

#include <sstream>

namespace hmr {
namespace {

TEST(ConsoleInstallerOutput, MessageIsTitleLineThenTextAsItIs) {
  std::ostringstream out, err;
  ConsoleInstallerOutput console(out, err, "hmrsetup5");
  console.showMessage("HMR Install Information", "first\r\n\r\nlast ");
  EXPECT_EQ(out.str(), "HMR Install Information\nfirst\r\n\r\nlast \n");
  EXPECT_EQ(err.str(), "");
}

TEST(ConsoleInstallerOutput, ProblemsGoToTheErrorStreamAfterTheProgramName) {
  std::ostringstream out, err;
  ConsoleInstallerOutput console(out, err, "hmrsetup4");
  console.reportProblem("Settings store /x: cannot open the file: disk I/O error");
  console.reportProblem("second");
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(),
            "hmrsetup4: Settings store /x: cannot open the file: disk I/O error\n"
            "hmrsetup4: second\n");
}

}  // namespace
}  // namespace hmr
