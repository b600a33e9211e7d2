// SPDX-License-Identifier: MIT
#include "core/TrackerDialogModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/WindowlessTrackerUi.h"
#include "core/uHMRProjectGroup.h"
#include "platform/MemorySettingsStore.h"
#include "tests/core/TrackerTestBase.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

using Texts = std::vector<std::string>;

// A group of two projects saved in a scratch folder: Demo with two sessions of ann and bob on
// one day, Other with one session.
class DialogModelTest : public TrackerTestBase {
 protected:
  DialogModelTest() : group(&ui, &store) {
    group.SetHostTool(ftDelphi5, "2.0b");
    demo = group.AddDataFile(write("Demo.HMR", {{0, 5400, "ann"}, {7200, 1800, "bob"}}));
    other = group.AddDataFile(write("Other.HMR", {{3600, 600, "ann"}}));
  }

  struct Session {
    long long startSeconds;
    long long seconds;
    std::string user;
  };
  std::string write(const std::string& name, const std::vector<Session>& sessions) {
    THMRProject project;
    for (const Session& s : sessions) {
      project.AddSession(at(s.startSeconds), at(s.startSeconds + s.seconds), false, 0);
      project.Sessions.back().SessionUserName = s.user;
    }
    const std::string path = folder.path() + "/" + name;
    project.SaveFile(path);
    return path;
  }

  testing::TempFolder folder;
  WindowlessTrackerUi ui;
  MemorySettingsStore store;
  THMRProjectGroup group;
  THMRProject* demo = nullptr;
  THMRProject* other = nullptr;
};

TEST(ViewStateTest, StartsUnsavedWithTheUserColumnInHours) {
  const TViewState view;
  EXPECT_FALSE(view.Saved);
  EXPECT_TRUE(view.ShowUserName);
  EXPECT_EQ(view.TimeUnit, dtuHour);
}

TEST_F(DialogModelTest, TheGroupLevelListsGroupingsAndNamesTheSortKeyAfterTheGrouping) {
  TrackerDialogModel model(&group);
  model.select(nullptr);
  EXPECT_EQ(model.groupByTexts(), (Texts{"Project", "Session", "Username", "Day", "Week",
                                         "Month"}));
  EXPECT_EQ(model.sortByTexts(), (Texts{"Project", "Total Time", "Idle Time", "Work Time"}));
  model.setGroupBy(3);
  EXPECT_EQ(model.groupByText(), "Day");
  EXPECT_EQ(model.sortByTexts(), (Texts{"Day", "Total Time", "Idle Time", "Work Time"}));
  EXPECT_EQ(TrackerDialogModel::orderTexts(), (Texts{"Asc", "Desc"}));
  EXPECT_EQ(model.projectCaption(), "  Project &Information: Project Group");
}

TEST_F(DialogModelTest, EachLevelKeepsItsOwnFiltersAndProjectsShareTheirs) {
  TrackerDialogModel model(&group);
  model.select(nullptr);
  model.setGroupBy(4);
  model.setSortOrder(1);
  model.select(demo);
  EXPECT_EQ(model.groupByTexts(), (Texts{"Session", "Username", "Day", "Week", "Month"}));
  EXPECT_EQ(model.currentFilter().GroupBy, 0);
  model.setGroupBy(2);
  model.select(other);
  EXPECT_EQ(model.groupByText(), "Day");
  model.select(nullptr);
  EXPECT_EQ(model.groupByText(), "Week");
  EXPECT_EQ(model.groupFilter().SortOrder, 1);
  EXPECT_EQ(model.projectFilter().GroupBy, 2);
}

TEST_F(DialogModelTest, NothingChosenCountsAsTheFirstEntryOfTheLevelShown) {
  TViewState view;
  view.Saved = true;
  view.ProjectGroupBy = view.ProjectSortBy = view.ProjectSortOrder = -1;
  view.GroupGroupBy = -1;
  TrackerDialogModel model(&group);
  model.restoreView(view);
  model.select(demo);
  EXPECT_EQ(model.currentFilter().GroupBy, 0);
  EXPECT_EQ(model.currentFilter().SortBy, 0);
  EXPECT_EQ(model.currentFilter().SortOrder, 0);
  EXPECT_EQ(model.groupFilter().GroupBy, -1);  // not shown yet
  model.select(nullptr);
  EXPECT_EQ(model.groupFilter().GroupBy, 0);
}

TEST_F(DialogModelTest, TheQueryIsTheSelectedProjectsOrTheGroupsWithTheFiltersOfItsLevel) {
  TrackerDialogModel model(&group);
  model.select(nullptr);
  model.ExecuteQuery();
  ASSERT_EQ(model.queryResult().Count, 2);  // one line per project
  EXPECT_EQ(model.queryResult().Lines[0].Text, "Demo");
  model.setSortOrder(1);
  model.ExecuteQuery();
  EXPECT_EQ(model.queryResult().Lines[0].Text, "Other");
  model.select(demo);
  model.ExecuteQuery();
  ASSERT_EQ(model.queryResult().Count, 2);  // Demo's two sessions, ascending
  EXPECT_EQ(model.queryResult().Lines[1].UserName, "bob");
  model.setGroupBy(1);  // by user name
  model.ExecuteQuery();
  EXPECT_EQ(model.queryResult().Count, 2);
  model.detachGroup();
  model.ExecuteQuery();
  EXPECT_EQ(model.queryResult().Count, 0);
  EXPECT_EQ(model.selectedProject(), nullptr);
}

TEST_F(DialogModelTest, ALineIsFoundAgainInANewResult) {
  TrackerDialogModel model(&group);
  model.select(demo);
  model.ExecuteQuery();
  // bob's session is the second, then the first when sorted the other way.
  const std::optional<TrackerDialogModel::LineKey> bob = model.lineKey(1);
  const std::optional<TrackerDialogModel::LineKey> totals = model.lineKey(2);
  ASSERT_TRUE(bob && totals);
  EXPECT_TRUE(totals->totals);
  EXPECT_FALSE(model.lineKey(3));
  EXPECT_FALSE(model.lineKey(-1));
  model.setSortOrder(1);
  model.ExecuteQuery();
  EXPECT_EQ(model.findLine(*bob), 0);
  EXPECT_EQ(model.findLine(*totals), 2);
  // By user name the session is gone; the totals row stays.
  model.setGroupBy(1);
  model.ExecuteQuery();
  EXPECT_EQ(model.findLine(*bob), -1);
  EXPECT_EQ(model.findLine(*totals), 2);
  const std::optional<TrackerDialogModel::LineKey> ann = model.lineKey(0);
  ASSERT_TRUE(ann);
  model.setSortOrder(0);
  model.ExecuteQuery();
  EXPECT_EQ(model.queryResult().Lines[static_cast<std::size_t>(model.findLine(*ann))].Text,
            ann->text);
}

TEST_F(DialogModelTest, TheWidestSampleHoldsBothHalvesOfTheDayAndALongTotal) {
  const TQueryResult sample = TrackerDialogModel::widestViewSample("margaret");
  ASSERT_EQ(sample.Count, 24);
  EXPECT_EQ(sample.Vision, qrvOpenCloseCol);
  std::int64_t total = 0;
  bool morning = false, evening = false;
  for (std::int32_t k = 0; k < sample.Count; ++k) {
    const TQueryResultLine& line = sample.Lines[static_cast<std::size_t>(k)];
    total += line.TotalTime;
    EXPECT_EQ(line.UserName, "margaret");
    const double hour = (line.DateTimeOpen - std::floor(line.DateTimeOpen)) * 24;
    morning |= hour < 13;
    evening |= hour > 23;
  }
  EXPECT_TRUE(morning && evening);
  EXPECT_EQ(total, 1000 * 3600);
  EXPECT_EQ(sample.Lines[23].CloseStatus, scsCurrent);
}

TEST_F(DialogModelTest, TheExportHeaderNamesWhatIsShownAndTheFilterChosen) {
  TrackerDialogModel model(&group);
  model.select(demo);
  model.setGroupBy(2);
  model.setSortBy(3);
  model.setSortOrder(1);
  const std::string header = model.GetExportHeader();
  EXPECT_NE(header.find("Project:\r\n  Demo (" + demo->FileName + ")\r\n"), std::string::npos)
      << header;
  EXPECT_NE(header.find("  Group by: Day\r\n  Sort by: Work Time (Desc)\r\n"), std::string::npos)
      << header;
  model.select(nullptr);
  const std::string groupHeader = model.GetExportHeader();
  EXPECT_NE(groupHeader.find("Project Group:\r\n  Demo ("), std::string::npos) << groupHeader;
  EXPECT_NE(groupHeader.find("  Other ("), std::string::npos) << groupHeader;
  EXPECT_NE(groupHeader.find("  Sort by: Project (Asc)\r\n"), std::string::npos) << groupHeader;
}

TEST_F(DialogModelTest, TheViewIsRememberedAndTakenUpAgain) {
  TrackerDialogModel first(&group);
  first.select(nullptr);
  first.setGroupBy(4);
  first.setSortBy(3);
  first.setSortOrder(1);
  first.setTimeUnit(dtuMinute);
  first.setShowUserName(false);
  first.select(demo);
  first.setGroupBy(2);
  TViewState view;
  first.saveView(view);
  EXPECT_TRUE(view.Saved);
  EXPECT_EQ(view.GroupGroupBy, 4);
  EXPECT_EQ(view.GroupSortBy, 3);
  EXPECT_EQ(view.GroupSortOrder, 1);
  EXPECT_EQ(view.ProjectGroupBy, 2);
  TrackerDialogModel second(&group);
  second.restoreView(view);
  second.select(nullptr);
  EXPECT_EQ(second.groupByText(), "Week");
  EXPECT_EQ(second.timeUnit(), dtuMinute);
  EXPECT_FALSE(second.showUserName());
  second.select(other);
  EXPECT_EQ(second.groupByText(), "Day");
}

// The first showing opens on a project and never shows the group level: the group level is
// remembered at its first entries, not as "nothing chosen".
TEST_F(DialogModelTest, ALevelNeverShownIsRememberedAtItsFirstEntries) {
  TrackerDialogModel model(&group);
  model.select(demo);
  model.setGroupBy(3);
  TViewState view;
  model.saveView(view);
  EXPECT_EQ(view.GroupGroupBy, 0);
  EXPECT_EQ(view.GroupSortBy, 0);
  EXPECT_EQ(view.GroupSortOrder, 0);
  EXPECT_EQ(view.ProjectGroupBy, 3);
}

TEST_F(DialogModelTest, ACaptionNamesTheDataFileAndTheState) {
  TrackerDialogModel model(&group);
  model.select(demo);
  EXPECT_EQ(model.projectCaption(), "  Project &Information: " + demo->FileName + "(CLOSED)");
  EXPECT_STREQ(stateCaptionName(hmOpen), "OPEN");
  EXPECT_STREQ(stateCaptionName(hmIdle), "IDLE");
  EXPECT_EQ(statePictureIndex(hmOpen), 1);
  EXPECT_EQ(statePictureIndex(hmIdle), 2);
  EXPECT_EQ(statePictureIndex(hmClosed), 3);
}

TEST_F(DialogModelTest, ADataFileOpensClosedOnceAndModifiedOnesAreSavedInStandAloneMode) {
  TrackerDialogModel model(&group);
  const std::string third = write("Third.HMR", {{0, 3600, "ann"}});
  THMRProject* opened = model.openDataFile(third);
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(opened->State, hmClosed);
  EXPECT_EQ(model.openDataFile(third), nullptr);  // already in the group
  EXPECT_EQ(group.getProjectCount(), 3);
  opened->SetTimeForIdle(600);
  opened->Modified = true;
  model.saveModifiedProjects();
  EXPECT_FALSE(opened->Modified);
  THMRProject reread;
  reread.OpenFile(third);
  EXPECT_EQ(reread.TimeForIdle, 600);
}

TEST_F(DialogModelTest, EveryHostThatAsksAtStartUpLetsTheUserChangeTheName) {
  TrackerDialogModel model(&group);
  // The IDEs ask for the user at start-up (Lazarus too), so they let it be changed.
  for (const THostTool host : {ftDelphi4, ftDelphi5, ftVB6, ftLazarus}) {
    group.SetHostTool(host, "2.0");
    EXPECT_TRUE(model.userCanChange()) << host;
  }
  for (const THostTool host : {ftUnknown, ftViewer}) {
    group.SetHostTool(host, "2.0");
    EXPECT_FALSE(model.userCanChange()) << host;
  }
}

}  // namespace
}  // namespace hmr
