// SPDX-License-Identifier: MIT
#include "ide/WindowlessTrackerDialog.h"

#include <gtest/gtest.h>

#include "tests/support/StandInIdeFixture.h"

namespace hmr::ide_test {
namespace {

class WindowlessDialogTest : public IdeFixture {
 protected:
  void SetUp() override {
    IdeFixture::SetUp();
    ASSERT_EQ(loadPackage().state, PackageState::Registered);
  }
};

TEST_F(WindowlessDialogTest, TheReportOfTheActiveProjectShowsItsRunningSessionUpToNow) {
  ide->openProject(file("one.dpr"));
  ide->advance(150);
  ide->edit(file("one.dpr"));
  ide->advance(30);  // 180 s, no idle: 0.050 h
  ide->clickViewMenu("Project Revedazl");
  const std::string report = out.str();
  EXPECT_NE(report.find("Group by: Session\r\n"), std::string::npos);
  EXPECT_NE(report.find("Sort by: Session (Asc)\r\n"), std::string::npos);
  EXPECT_NE(report.find("User Name"), std::string::npos);
  EXPECT_NE(report.find("(hs)"), std::string::npos);
  EXPECT_NE(report.find("Current"), std::string::npos);
  EXPECT_NE(report.find("  0.050  "), std::string::npos) << report;
}

TEST_F(WindowlessDialogTest, WithoutAnActiveProjectTheWholeGroupIsReportedByProject) {
  ide->openProject(file("one.dpr"));
  ide->openProject(file("two.dpr"));
  group().ProjectActivated("");
  const std::string report = defaultTrackerReport(group());
  EXPECT_NE(report.find("Group by: Project\r\n"), std::string::npos);
  EXPECT_EQ(report.rfind(trackerDialogTitle(group()), 0), 0u);
  EXPECT_NE(report.find(file("one.HMR")), std::string::npos);
  EXPECT_NE(report.find(file("two.HMR")), std::string::npos);
}

TEST(WindowlessDialogOwnTest, ShowingWritesTheBuiltReportAndClosesTheDialog) {
  std::string written;
  WindowlessTrackerDialog dialog([&](const std::string& text) { written += text; },
                               [](THMRProjectGroup&) { return std::string("report\n"); });
  THMRProjectGroup group(&dialog);
  group.ShowDialog(true, "");
  EXPECT_EQ(written, "report\n");
  EXPECT_EQ(dialog.timesShown(), 1);
  EXPECT_FALSE(group.Dialog);
}

TEST(WindowlessDialogOwnTest, TitleNamesTheHostAndTheVersions) {
  WindowlessTrackerDialog dialog([](const std::string&) {});
  THMRProjectGroup group(&dialog);
  group.SetHostTool(ftDelphi4, "2.0b");
  EXPECT_EQ(trackerDialogTitle(group),
            "For Delphi 4\r\nHost Version 2.0b - Kernel Version 2.0\r\n\r\n");
}

TEST(WindowlessDialogOwnTest, AFailingReportStillClosesTheDialog) {
  WindowlessTrackerDialog dialog([](const std::string&) {},
                               [](THMRProjectGroup&) -> std::string { throw HmrError("no"); });
  THMRProjectGroup group(&dialog);
  EXPECT_THROW(group.ShowDialog(true, ""), HmrError);
  EXPECT_FALSE(group.Dialog);
}

}  // namespace
}  // namespace hmr::ide_test
