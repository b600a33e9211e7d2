// SPDX-License-Identifier: MIT
// The project and group queries: session lines with their close status, and every grouping
// and sort choice of the tracker dialog.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/uHMRProject.h"
#include "core/uHMRProjectGroup.h"
#include "platform/Locale.h"
#include "tests/core/TrackerTestBase.h"

namespace hmr {
namespace {

class QueriesTest : public TrackerTestBase {
 protected:
  // A project outside any folder: it is never read from or written to disk.
  THMRProject& addProject(const std::string& name, THMRState state = hmClosed) {
    auto project = std::make_unique<THMRProject>();
    project->FileName = name + ".HMR";
    project->ProjectName = name;
    project->State = state;
    THMRProject& added = *project;
    group_.Projects.emplace_back(project->FileName, std::move(project));
    return added;
  }

  // A session opening at `open` and lasting `total` seconds of which `idle` were idle.
  static void addSession(THMRProject& project, TDateTime open, std::int64_t total,
                         std::int64_t idle, const std::string& user, bool notClosed = false) {
    project.AddSession(open, open + static_cast<double>(total) / 86400.0, notClosed, idle);
    project.Sessions.back().SessionUserName = user;
  }

  static std::vector<std::string> textsOf(const TQueryResult& qr) {
    std::vector<std::string> out;
    for (std::int32_t k = 0; k < qr.Count; ++k) out.push_back(qr.Lines[k].Text);
    return out;
  }
  static std::vector<std::int64_t> worksOf(const TQueryResult& qr) {
    std::vector<std::int64_t> out;
    for (std::int32_t k = 0; k < qr.Count; ++k) out.push_back(qr.Lines[k].WorkTime);
    return out;
  }

  void TearDown() override {
    for (auto& entry : group_.Projects) entry.second->State = hmClosed;  // nothing to close
  }

  FixedLocale locale_;
  ScopedLocale useLocale_{locale_};
  THMRProjectGroup group_;
};

TEST_F(QueriesTest, SessionLinesCarryTheSessionsAndTheirCloseStatus) {
  THMRProject& alpha = addProject("Alpha", hmOpen);
  addSession(alpha, encodeDateTime(2026, 12, 1, 9, 0, 0), 3600, 600, "Bob");
  addSession(alpha, encodeDateTime(2026, 12, 2, 9, 0, 0), 1800, 0, "Ann", true);
  addSession(alpha, encodeDateTime(2026, 12, 3, 9, 0, 0), 900, 60, "Bob", true);

  TQueryResult qr;
  qr.Vision = qrvBothCol;
  alpha.GetQRFromSessionQuery(qr, false);
  ASSERT_EQ(qr.Count, 3);
  EXPECT_EQ(qr.Lines.size(), 3u);
  EXPECT_EQ(qr.Vision, qrvBothCol);  // untouched
  const TQueryResultLine& first = qr.Lines[0];
  EXPECT_EQ(first.Text, "Alpha");
  EXPECT_EQ(first.DateTimeOpen, encodeDateTime(2026, 12, 1, 9, 0, 0));
  EXPECT_EQ(first.DateTimeClose, encodeDateTime(2026, 12, 1, 10, 0, 0));
  EXPECT_EQ(first.CloseStatus, scsClosed);
  EXPECT_EQ(first.TotalTime, 3600);
  EXPECT_EQ(first.IdleTime, 600);
  EXPECT_EQ(first.WorkTime, 3000);
  EXPECT_EQ(first.UserName, "Bob");
  EXPECT_EQ(qr.Lines[1].CloseStatus, scsNotClosed);  // not the last session
  EXPECT_EQ(qr.Lines[1].DateTimeClose, 0.0);
  EXPECT_EQ(qr.Lines[2].CloseStatus, scsCurrent);  // last session of an open project
  EXPECT_EQ(qr.Lines[2].DateTimeClose, 0.0);

  alpha.State = hmClosed;  // the same data in a closed project
  alpha.GetQRFromSessionQuery(qr, false);
  EXPECT_EQ(qr.Lines[2].CloseStatus, scsNotClosed);
  alpha.State = hmIdle;  // idle is still open
  alpha.GetQRFromSessionQuery(qr, false);
  EXPECT_EQ(qr.Lines[2].CloseStatus, scsCurrent);
}

TEST_F(QueriesTest, AppendKeepsTheLinesAlreadyThere) {
  THMRProject& alpha = addProject("Alpha");
  THMRProject& beta = addProject("Beta");
  addSession(alpha, encodeDateTime(2026, 12, 1, 9, 0, 0), 600, 0, "a");
  addSession(beta, encodeDateTime(2026, 12, 2, 9, 0, 0), 700, 0, "b");
  addSession(beta, encodeDateTime(2026, 12, 3, 9, 0, 0), 800, 0, "b");
  TQueryResult qr;
  alpha.GetQRFromSessionQuery(qr, true);
  beta.GetQRFromSessionQuery(qr, true);
  EXPECT_EQ(textsOf(qr), (std::vector<std::string>{"Alpha", "Beta", "Beta"}));
  EXPECT_EQ(qr.Lines.size(), 3u);
  beta.GetQRFromSessionQuery(qr, false);  // replace
  EXPECT_EQ(qr.Count, 2);
  EXPECT_EQ(qr.Lines[0].TotalTime, 700);
  addProject("Empty").GetQRFromSessionQuery(qr, false);
  EXPECT_EQ(qr.Count, 0);
}

TEST_F(QueriesTest, GroupSessionListMarksEachOpenProjectsLastSessionCurrent) {
  THMRProject& closed = addProject("Closed");
  THMRProject& open1 = addProject("Open1", hmOpen);
  THMRProject& open2 = addProject("Open2", hmIdle);
  addSession(closed, encodeDateTime(2026, 12, 1, 9, 0, 0), 600, 0, "u", true);
  addSession(open1, encodeDateTime(2026, 12, 2, 9, 0, 0), 600, 0, "u", true);
  addSession(open1, encodeDateTime(2026, 12, 3, 9, 0, 0), 600, 0, "u", true);
  addSession(open2, encodeDateTime(2026, 12, 4, 9, 0, 0), 600, 0, "u");
  addSession(open2, encodeDateTime(2026, 12, 5, 9, 0, 0), 600, 0, "u", true);

  const TQueryResult qr = group_.ExecuteQuery(ggSession, sbVariant, soAsc);
  EXPECT_EQ(qr.Vision, qrvOpenCloseCol);
  ASSERT_EQ(qr.Count, 5);
  std::vector<TSessionCloseStatus> statuses;
  for (std::int32_t k = 0; k < qr.Count; ++k) statuses.push_back(qr.Lines[k].CloseStatus);
  EXPECT_EQ(statuses, (std::vector<TSessionCloseStatus>{scsNotClosed, scsNotClosed, scsCurrent,
                                                        scsClosed, scsCurrent}));
  EXPECT_EQ(textsOf(qr),
            (std::vector<std::string>{"Closed", "Open1", "Open1", "Open2", "Open2"}));
}

// Work times in session order: a=120 b=60 c=120 d=60 e=60 (seconds). The quicksort leaves the
// ties as d b e a c ascending and c a e d b descending (worked out by hand).
TEST_F(QueriesTest, WorkTimeSortKeepsTheQuicksortsOrderOfTies) {
  THMRProject& p = addProject("P");
  const std::vector<std::pair<std::string, std::int64_t>> sessions = {
      {"a", 120}, {"b", 60}, {"c", 120}, {"d", 60}, {"e", 60}};
  TDateTime open = encodeDateTime(2026, 12, 1, 9, 0, 0);
  for (const auto& [user, work] : sessions) {
    addSession(p, open, work, 0, user);
    open += 1;
  }
  const auto users = [](const TQueryResult& qr) {
    std::vector<std::string> out;
    for (std::int32_t k = 0; k < qr.Count; ++k) out.push_back(qr.Lines[k].UserName);
    return out;
  };
  const TQueryResult asc = p.ExecuteQuery(pgSession, sbWorkTime, soAsc);
  EXPECT_EQ(asc.Vision, qrvOpenCloseCol);
  EXPECT_EQ(users(asc), (std::vector<std::string>{"d", "b", "e", "a", "c"}));
  const TQueryResult desc = p.ExecuteQuery(pgSession, sbWorkTime, soDesc);
  EXPECT_EQ(users(desc), (std::vector<std::string>{"c", "a", "e", "d", "b"}));
}

TEST_F(QueriesTest, VariantSortFollowsTheGrouping) {
  THMRProject& p = addProject("P");
  addSession(p, encodeDateTime(2026, 12, 2, 9, 0, 0), 100, 0, "carol");
  addSession(p, encodeDateTime(2026, 12, 1, 9, 0, 0), 200, 0, "Alice");
  addSession(p, encodeDateTime(2026, 12, 3, 9, 0, 0), 300, 0, "bob");
  addSession(p, encodeDateTime(2026, 12, 1, 15, 0, 0), 400, 0, "alice");

  const TQueryResult days = p.ExecuteQuery(pgDay, sbVariant, soDesc);
  EXPECT_EQ(days.Vision, qrvTextCol);
  EXPECT_EQ(textsOf(days), (std::vector<std::string>{"12/03/26", "12/02/26", "12/01/26"}));
  EXPECT_EQ(days.Lines[2].TotalTime, 600);

  // The name sort of [carol Alice bob alice] first exchanges carol and alice, so the run of
  // the two spellings starts with "alice", which names the line.
  const TQueryResult users = p.ExecuteQuery(pgUsername, sbVariant, soDesc);
  EXPECT_EQ(textsOf(users), (std::vector<std::string>{"carol", "bob", "alice"}));
  EXPECT_EQ(users.Lines[2].TotalTime, 600);

  const TQueryResult sessions = p.ExecuteQuery(pgSession, sbVariant, soAsc);
  std::vector<std::int64_t> totals;
  for (std::int32_t k = 0; k < sessions.Count; ++k) totals.push_back(sessions.Lines[k].TotalTime);
  EXPECT_EQ(totals, (std::vector<std::int64_t>{200, 400, 100, 300}));  // by open date-time
}

TEST_F(QueriesTest, UserFoldComesBeforeTheSortByTotals) {
  THMRProject& p = addProject("P");
  addSession(p, encodeDateTime(2026, 12, 1, 9, 0, 0), 500, 100, "zed");
  addSession(p, encodeDateTime(2026, 12, 2, 9, 0, 0), 300, 0, "amy");
  addSession(p, encodeDateTime(2026, 12, 3, 9, 0, 0), 400, 0, "Amy");
  const TQueryResult qr = p.ExecuteQuery(pgUsername, sbTotalTime, soDesc);
  ASSERT_EQ(qr.Count, 2);
  EXPECT_EQ(qr.Lines[0].TotalTime, 700);  // amy and Amy together outweigh zed
  EXPECT_EQ(qr.Lines[1].Text, "zed");
  EXPECT_EQ(p.ExecuteQuery(pgUsername, sbIdleTime, soAsc).Lines[0].IdleTime, 0);
}

TEST_F(QueriesTest, WeekAndMonthGroupingsAtBothLevels) {
  THMRProject& a = addProject("A");
  THMRProject& b = addProject("B");
  addSession(a, encodeDateTime(2026, 12, 5, 23, 59, 0), 60, 0, "u");   // Saturday
  addSession(b, encodeDateTime(2026, 12, 6, 0, 0, 0), 120, 0, "u");    // Sunday
  addSession(b, encodeDateTime(2026, 12, 31, 10, 0, 0), 180, 0, "u");
  addSession(a, encodeDateTime(2027, 1, 2, 10, 0, 0), 240, 0, "u");

  const TQueryResult weeks = group_.ExecuteQuery(ggWeek, sbVariant, soAsc);
  EXPECT_EQ(textsOf(weeks), (std::vector<std::string>{"11/29/26", "12/06/26", "12/27/26"}));
  EXPECT_EQ(worksOf(weeks), (std::vector<std::int64_t>{60, 120, 420}));

  const TQueryResult months = group_.ExecuteQuery(ggMonth, sbWorkTime, soDesc);
  EXPECT_EQ(textsOf(months), (std::vector<std::string>{"12/01/26", "01/01/27"}));
  EXPECT_EQ(worksOf(months), (std::vector<std::int64_t>{360, 240}));

  const TQueryResult aMonths = a.ExecuteQuery(pgMonth, sbVariant, soAsc);
  EXPECT_EQ(worksOf(aMonths), (std::vector<std::int64_t>{60, 240}));
  const TQueryResult bDays = b.ExecuteQuery(pgDay, sbVariant, soAsc);
  EXPECT_EQ(textsOf(bDays), (std::vector<std::string>{"12/06/26", "12/31/26"}));
  const TQueryResult users = group_.ExecuteQuery(ggUsername, sbVariant, soAsc);
  ASSERT_EQ(users.Count, 1);
  EXPECT_EQ(users.Lines[0].WorkTime, 600);
  const TQueryResult days = group_.ExecuteQuery(ggDay, sbTotalTime, soDesc);
  EXPECT_EQ(worksOf(days), (std::vector<std::int64_t>{240, 180, 120, 60}));
}

TEST_F(QueriesTest, ProjectListHasOneLinePerProjectSortedByName) {
  THMRProject& beta = addProject("beta");
  addProject("Alpha");
  THMRProject& gamma = addProject("Gamma");
  addSession(beta, encodeDateTime(2026, 12, 1, 9, 0, 0), 600, 60, "u");
  addSession(gamma, encodeDateTime(2026, 12, 1, 9, 0, 0), 300, 0, "u");
  addSession(gamma, encodeDateTime(2026, 12, 2, 9, 0, 0), 400, 0, "u");

  const TQueryResult byName = group_.ExecuteQuery(ggProject, sbVariant, soAsc);
  EXPECT_EQ(byName.Vision, qrvTextCol);
  EXPECT_EQ(byName.Lines.size(), 3u);
  EXPECT_EQ(textsOf(byName), (std::vector<std::string>{"Alpha", "beta", "Gamma"}));
  EXPECT_EQ(byName.Lines[0].TotalTime, 0);  // a project without sessions still has its line
  EXPECT_EQ(byName.Lines[1].IdleTime, 60);
  EXPECT_EQ(byName.Lines[1].WorkTime, 540);
  EXPECT_EQ(byName.Lines[1].CloseStatus, scsClosed);
  EXPECT_EQ(byName.Lines[1].DateTimeOpen, 0.0);
  EXPECT_TRUE(byName.Lines[1].UserName.empty());

  const TQueryResult byTotal = group_.ExecProjectQuery(sbTotalTime, soDesc);
  EXPECT_EQ(textsOf(byTotal), (std::vector<std::string>{"Gamma", "beta", "Alpha"}));
}

TEST_F(QueriesTest, EmptyGroupGivesEmptyResultsForEveryMode) {
  for (int mode = ggProject; mode <= ggMonth; ++mode) {
    for (int sortBy = sbVariant; sortBy <= sbWorkTime; ++sortBy) {
      const TQueryResult qr = group_.ExecuteQuery(static_cast<TGroupGroupByMode>(mode),
                                                  static_cast<TSortByMode>(sortBy), soDesc);
      EXPECT_EQ(qr.Count, 0) << mode << " " << sortBy;
    }
  }
  THMRProject& p = addProject("NoSessions");
  for (int mode = pgSession; mode <= pgMonth; ++mode) {
    EXPECT_EQ(p.ExecuteQuery(static_cast<TProjectGroupByMode>(mode), sbVariant, soAsc).Count, 0);
  }
}

TEST_F(QueriesTest, QueriesChangeNothingInTheProjects) {
  THMRProject& p = addProject("P", hmOpen);
  addSession(p, encodeDateTime(2026, 12, 2, 9, 0, 0), 100, 0, "b", false);
  addSession(p, encodeDateTime(2026, 12, 1, 9, 0, 0), 200, 0, "a", true);
  const TDateTime firstOpen = p.Sessions[0].SessionDateTimeOpen;
  (void)group_.ExecuteQuery(ggUsername, sbTotalTime, soDesc);
  (void)p.ExecuteQuery(pgDay, sbWorkTime, soAsc);
  EXPECT_EQ(p.Sessions[0].SessionDateTimeOpen, firstOpen);
  EXPECT_EQ(p.getSessionCount(), 2);
  EXPECT_EQ(p.State, hmOpen);
  EXPECT_EQ(p.TotalTime, 300);
}

}  // namespace
}  // namespace hmr
