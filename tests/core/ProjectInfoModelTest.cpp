// SPDX-License-Identifier: MIT
#include "core/ProjectInfoModel.h"

#include <gtest/gtest.h>

#include "core/uHMRProject.h"
#include "tests/core/TrackerTestBase.h"

namespace hmr {
namespace {

// A project with a minimum work time of one minute and sessions of 90 s and one hour, shown on
// the page.
class ProjectInfoTest : public TrackerTestBase {
 protected:
  ProjectInfoTest() {
    project.AddSession(at(0), at(90), false, 0);
    project.AddSession(at(7200), at(10800), false, 0);
    shown = *info.show(&project);
  }
  // The page commits what its spin boxes show; `answer` is the user's answer if asked.
  std::optional<std::int32_t> commit(ProjectInfoModel::Minutes minutes, bool answer = true) {
    return info.commit(minutes, [&] {
      ++asked;
      return answer;
    });
  }

  THMRProject project;
  ProjectInfoModel info;
  ProjectInfoModel::Minutes shown;
  int asked = 0;
};

TEST(ProjectInfoMinutesTest, SecondsShowAsWholeMinutesHalvesToEvenWithinTheSpinBoxRange) {
  EXPECT_EQ(ProjectInfoModel::minutesShown(150), 2);  // 2.5
  EXPECT_EQ(ProjectInfoModel::minutesShown(90), 2);   // 1.5
  EXPECT_EQ(ProjectInfoModel::minutesShown(45), 1);
  EXPECT_EQ(ProjectInfoModel::minutesShown(0), ProjectInfoModel::MinMinutes);
  EXPECT_EQ(ProjectInfoModel::minutesShown(7200), ProjectInfoModel::MaxMinutes);
  EXPECT_EQ(ProjectInfoModel::defaults().idle, 5);
  EXPECT_EQ(ProjectInfoModel::defaults().minimum, 1);
}

TEST_F(ProjectInfoTest, ShowingAProjectGivesItsMinutesAndNothingCountsAsChanged) {
  EXPECT_EQ(shown.idle, 5);
  EXPECT_EQ(shown.minimum, 1);
  EXPECT_EQ(info.project(), &project);
  EXPECT_FALSE(info.changed());
  info.edited();
  EXPECT_TRUE(info.changed());
  info.entered(1);
  EXPECT_FALSE(info.changed());
  EXPECT_FALSE(info.show(nullptr).has_value());
  EXPECT_FALSE(commit({9, 9}).has_value());  // nothing shown: nothing to commit
  EXPECT_EQ(project.TimeForIdle, 300);
}

TEST_F(ProjectInfoTest, SpinBoxesLeftAsShownChangeNothing) {
  // A threshold beyond the spin box's range shows as 60 minutes; left alone it stays.
  project.TimeForIdle = 7200;
  project.MinimumWorkTime = 45;
  shown = *info.show(&project);
  EXPECT_FALSE(commit(shown).has_value());
  EXPECT_EQ(project.TimeForIdle, 7200);
  EXPECT_EQ(project.MinimumWorkTime, 45);
  EXPECT_FALSE(project.Modified);
  EXPECT_EQ(asked, 0);
}

TEST_F(ProjectInfoTest, ANewIdleThresholdIsAppliedWithoutAQuestion) {
  EXPECT_FALSE(commit({12, 1}).has_value());
  EXPECT_EQ(project.TimeForIdle, 720);
  EXPECT_TRUE(project.Modified);
  EXPECT_EQ(asked, 0);
}

TEST_F(ProjectInfoTest, ARaisedMinimumDeclinedPutsTheSpinBoxBackAndKeepsTheSessions) {
  EXPECT_EQ(commit({5, 2}, false), 1);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(project.MinimumWorkTime, 60);
  EXPECT_EQ(project.getSessionCount(), 2);
  EXPECT_FALSE(project.Modified);
}

TEST_F(ProjectInfoTest, ARaisedMinimumConfirmedDropsTheShortSessions) {
  EXPECT_FALSE(commit({5, 2}, true).has_value());
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(project.MinimumWorkTime, 120);
  EXPECT_EQ(project.getSessionCount(), 1);
  EXPECT_TRUE(project.Modified);
  // Committed once, the value is the one shown: committing again asks nothing.
  EXPECT_FALSE(commit({5, 2}, true).has_value());
  EXPECT_EQ(asked, 1);
}

TEST_F(ProjectInfoTest, ALoweredMinimumIsAppliedWithoutAQuestion) {
  project.MinimumWorkTime = 300;
  shown = *info.show(&project);
  EXPECT_FALSE(commit({5, 3}).has_value());
  EXPECT_EQ(project.MinimumWorkTime, 180);
  EXPECT_EQ(asked, 0);
}

TEST_F(ProjectInfoTest, ADeclinedRaiseGoesBackToTheValueWhenThePageWasEntered) {
  EXPECT_FALSE(commit({5, 3}, true).has_value());  // 3 minutes, confirmed
  info.entered(3);
  EXPECT_EQ(commit({5, 10}, false), 3);
  EXPECT_EQ(project.MinimumWorkTime, 180);
}

}  // namespace
}  // namespace hmr
