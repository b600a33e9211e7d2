// SPDX-License-Identifier: MIT
// The folds taken straight from the sessions give what the session lines, sorted by the fold's
// key and folded by GroupQRBy, give; and they step aside where they could not be sure to.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/SessionFold.h"
#include "core/uHMRProject.h"
#include "core/uHMRTimer.h"
#include "platform/Locale.h"
#include "platform/PeriodicTimer.h"

namespace hmr {
namespace {

class SessionFoldTest : public ::testing::Test {
 protected:
  static void addSession(THMRProject& project, TDateTime open, std::int64_t total,
                         std::int64_t idle, std::string user) {
    TSessionData s;
    s.SessionDateTimeOpen = open;
    s.SessionDateTimeClose = open + static_cast<double>(total) / 86400.0;
    s.SessionIdleTime = idle;
    s.SessionUserName = std::move(user);
    s.UpdateCalculatedFields();
    project.Sessions.push_back(std::move(s));
  }

  // The long way: a line per session, sorted ascending by the fold's key, then folded.
  static TQueryResult foldedLines(const std::vector<const THMRProject*>& projects,
                                  TFuncGroupByMode mode) {
    TQueryResult lines;
    for (const THMRProject* p : projects) p->GetQRFromSessionQuery(lines, true);
    SortQR(lines, 0, lines.Count - 1, mode == fgUsername ? scUserName : scSession, soAsc);
    return GroupQRBy(lines, mode);
  }

  static void expectSame(const TQueryResult& got, const TQueryResult& want,
                         const std::string& what) {
    ASSERT_EQ(got.Count, want.Count) << what;
    for (std::int32_t k = 0; k < want.Count; ++k) {
      const TQueryResultLine& g = got.Lines[static_cast<std::size_t>(k)];
      const TQueryResultLine& w = want.Lines[static_cast<std::size_t>(k)];
      EXPECT_EQ(g.Text, w.Text) << what << " line " << k;
      EXPECT_EQ(g.DateTimeOpen, w.DateTimeOpen) << what << " line " << k;
      EXPECT_EQ(g.DateTimeClose, w.DateTimeClose) << what << " line " << k;
      EXPECT_EQ(g.TotalTime, w.TotalTime) << what << " line " << k;
      EXPECT_EQ(g.IdleTime, w.IdleTime) << what << " line " << k;
      EXPECT_EQ(g.WorkTime, w.WorkTime) << what << " line " << k;
      EXPECT_EQ(g.UserName, w.UserName) << what << " line " << k;
    }
  }

  ScopedTimerGlobal timer_{std::make_unique<ManualTimer>()};  // projects need one to exist
  FixedLocale locale_;
  ScopedLocale useLocale_{locale_};
};

TEST_F(SessionFoldTest, GivesTheFoldOfTheSortedLinesOnRandomHistories) {
  static const char* const kUsers[] = {"ann", "bob", "carla", "", "dmitri"};
  std::mt19937_64 random(11);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::unique_ptr<THMRProject>> owned;
    std::vector<const THMRProject*> projects;
    for (int p = 0; p < 1 + static_cast<int>(random() % 3); ++p) {
      auto project = std::make_unique<THMRProject>();
      project->ProjectName = "P" + std::to_string(p);
      // Out of order, across days, weeks, months and a new year; some at midnight exactly.
      for (int k = 0; k < static_cast<int>(random() % 60); ++k) {
        const TDateTime day = encodeDate(2025, 12, 1) + static_cast<double>(random() % 70);
        const TDateTime open = random() % 4 == 0 ? day : day + (random() % 86400) / 86400.0;
        const auto total = static_cast<std::int64_t>(random() % 7200);
        addSession(*project, open, total, total / 3, kUsers[random() % 5]);
      }
      projects.push_back(project.get());
      owned.push_back(std::move(project));
    }
    for (const TFuncGroupByMode mode : {fgDay, fgWeek, fgMonth, fgUsername}) {
      const std::optional<TQueryResult> folded = foldSessions(projects, mode);
      ASSERT_TRUE(folded) << "mode " << mode;
      expectSame(*folded, foldedLines(projects, mode),
                 "round " + std::to_string(round) + " mode " + std::to_string(mode));
    }
  }
}

TEST_F(SessionFoldTest, StepsAsideWhereItCouldNotBeSure) {
  THMRProject project;
  const std::vector<const THMRProject*> projects{&project};
  addSession(project, encodeDateTime(2026, 3, 2, 9, 0, 0), 600, 0, "ann");
  addSession(project, encodeDateTime(2026, 3, 3, 9, 0, 0), 600, 0, "Ann");
  // One user spelled two ways: the long way names the line after whichever the sort puts first.
  EXPECT_FALSE(foldSessions(projects, fgUsername));
  EXPECT_TRUE(foldSessions(projects, fgWeek));
  EXPECT_FALSE(foldSessions(projects, fgSession));
  EXPECT_FALSE(foldSessions(projects, fgProject));
  // Open times whose periods the fold's days do not hold.
  for (const TDateTime odd : {-1.5, 2958466.0, std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()}) {
    THMRProject strange;
    addSession(strange, encodeDateTime(2026, 3, 2, 9, 0, 0), 600, 0, "ann");
    strange.Sessions.back().SessionDateTimeOpen = odd;
    const std::vector<const THMRProject*> one{&strange};
    EXPECT_FALSE(foldSessions(one, fgDay)) << odd;
    EXPECT_FALSE(foldSessions(one, fgMonth)) << odd;
    EXPECT_TRUE(foldSessions(one, fgUsername)) << odd;
  }
}

TEST_F(SessionFoldTest, NoSessionsGiveNoLines) {
  THMRProject empty;
  const std::vector<const THMRProject*> projects{&empty};
  for (const TFuncGroupByMode mode : {fgDay, fgWeek, fgMonth, fgUsername}) {
    const std::optional<TQueryResult> folded = foldSessions(projects, mode);
    ASSERT_TRUE(folded);
    EXPECT_EQ(folded->Count, 0);
  }
}

}  // namespace
}  // namespace hmr
