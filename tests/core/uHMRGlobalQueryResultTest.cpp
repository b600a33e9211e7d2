// SPDX-License-Identifier: MIT
// Query results: appending, comparing, the quicksort's exact order of ties, and the folds.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/uHMRGlobal.h"
#include "platform/Locale.h"

namespace hmr {
namespace {

class QueryResultTest : public ::testing::Test {
 protected:
  FixedLocale locale_;
  ScopedLocale useLocale_{locale_};
};

TQueryResultLine workLine(std::string text, std::int64_t work) {
  TQueryResultLine line;
  line.Text = std::move(text);
  line.TotalTime = work;
  line.WorkTime = work;
  return line;
}

TQueryResultLine sessionLine(TDateTime open, std::int64_t total, std::string user = "u") {
  TQueryResultLine line;
  line.DateTimeOpen = open;
  line.DateTimeClose = open + static_cast<double>(total) / 86400.0;
  line.TotalTime = total;
  line.IdleTime = total / 4;
  line.WorkTime = total - total / 4;
  line.UserName = std::move(user);
  return line;
}

TQueryResult resultOf(std::vector<TQueryResultLine> lines) {
  TQueryResult qr;
  for (auto& l : lines) AppendQueryResultLine(qr) = std::move(l);
  return qr;
}

std::vector<std::string> texts(const TQueryResult& qr) {
  std::vector<std::string> out;
  for (std::int32_t k = 0; k < qr.Count; ++k) out.push_back(qr.Lines[k].Text);
  return out;
}

TEST_F(QueryResultTest, AppendGrowsByNineSlotsAndCountsLines) {
  TQueryResult qr;
  EXPECT_EQ(qr.Vision, qrvTextCol);
  AppendQueryResultLine(qr).Text = "a";
  EXPECT_EQ(qr.Count, 1);
  EXPECT_EQ(qr.Lines.size(), 9u);
  for (int i = 0; i < 9; ++i) AppendQueryResultLine(qr);
  EXPECT_EQ(qr.Count, 10);
  EXPECT_EQ(qr.Lines.size(), 18u);
  EXPECT_EQ(qr.Lines[0].Text, "a");
  EXPECT_EQ(qr.Lines[17].TotalTime, 0);  // slots beyond Count are zeroed
}

TEST_F(QueryResultTest, AppendingAMillionLinesReallocatesLogarithmically) {
  TQueryResult qr;
  int reallocations = 0;
  const TQueryResultLine* storage = nullptr;
  for (int i = 0; i < 1000000; ++i) {
    AppendQueryResultLine(qr).TotalTime = i;
    if (qr.Lines.data() != storage) {
      ++reallocations;
      storage = qr.Lines.data();
    }
  }
  EXPECT_EQ(qr.Count, 1000000);
  EXPECT_LT(reallocations, 40);
  EXPECT_EQ(qr.Lines[999999].TotalTime, 999999);
}

TEST_F(QueryResultTest, ClearEmptiesAndResetsVision) {
  TQueryResult qr = resultOf({workLine("a", 1), workLine("b", 2)});
  qr.Vision = qrvOpenCloseCol;
  ClearQueryResult(qr);
  EXPECT_EQ(qr.Vision, qrvTextCol);
  EXPECT_EQ(qr.Count, 0);
  EXPECT_TRUE(qr.Lines.empty());
}

TEST_F(QueryResultTest, CompareByEachKey) {
  TQueryResultLine a = sessionLine(encodeDateTime(2026, 12, 7, 9, 0, 0), 100, "Bob");
  TQueryResultLine b = sessionLine(encodeDateTime(2026, 12, 7, 9, 0, 0), 200, "bob");
  a.Text = "Alpha";
  b.Text = "beta";
  EXPECT_EQ(CompareQR(a, b, scSession), 0);  // same open, different close
  EXPECT_EQ(CompareQR(a, b, scTotalTime), -1);
  EXPECT_EQ(CompareQR(b, a, scWorkTime), 1);
  EXPECT_EQ(CompareQR(a, b, scIdleTime), -1);
  EXPECT_EQ(CompareQR(a, b, scUserName), 0);  // Bob and bob tie
  EXPECT_EQ(CompareQR(a, b, scText), -1);     // Alpha before beta, whatever the case
  EXPECT_EQ(CompareQR(b, a, scText), 1);
  EXPECT_EQ(CompareQR(a, b, static_cast<TSortCompareMode>(9)), 0);
  b.DateTimeOpen += 1.0 / 86400;
  EXPECT_EQ(CompareQR(a, b, scSession), -1);
}

TEST_F(QueryResultTest, SortOfEmptyOrOneLineChangesNothing) {
  TQueryResult empty;
  SortQR(empty, 0, -1, scText, soAsc);
  EXPECT_EQ(empty.Count, 0);
  TQueryResult one = resultOf({workLine("x", 5)});
  SortQR(one, 0, 0, scWorkTime, soDesc);
  EXPECT_EQ(texts(one), std::vector<std::string>{"x"});
}

// Work times a=2 b=1 c=2 d=1 e=1. Worked by hand through the partitioning: ascending, the
// pivot c first swaps a<->e and c<->d, giving [e b d | c a]; the left part swaps e<->d and the
// right part c<->a. A stable sort would give b d e a c.
TEST_F(QueryResultTest, AscendingSortLeavesTiesInTheQuicksortsOrder) {
  TQueryResult qr = resultOf({workLine("a", 2), workLine("b", 1), workLine("c", 2),
                              workLine("d", 1), workLine("e", 1)});
  SortQR(qr, 0, qr.Count - 1, scWorkTime, soAsc);
  EXPECT_EQ(texts(qr), (std::vector<std::string>{"d", "b", "e", "a", "c"}));
}

// Descending, the same input gives c a e d b: not the reverse (c a e b d) of the ascending one.
TEST_F(QueryResultTest, DescendingSortIsNotTheReverseOfAscending) {
  TQueryResult qr = resultOf({workLine("a", 2), workLine("b", 1), workLine("c", 2),
                              workLine("d", 1), workLine("e", 1)});
  SortQR(qr, 0, qr.Count - 1, scWorkTime, soDesc);
  EXPECT_EQ(texts(qr), (std::vector<std::string>{"c", "a", "e", "d", "b"}));
}

TEST_F(QueryResultTest, SortOfASubrangeLeavesTheRestAlone) {
  TQueryResult qr = resultOf({workLine("z", 9), workLine("b", 3), workLine("a", 1),
                              workLine("y", 0)});
  SortQR(qr, 1, 2, scWorkTime, soAsc);
  EXPECT_EQ(texts(qr), (std::vector<std::string>{"z", "a", "b", "y"}));
}

TEST_F(QueryResultTest, SortByTextIgnoresCaseAndSortsLargeInputs) {
  TQueryResult qr = resultOf({workLine("delta", 0), workLine("Alpha", 0), workLine("charlie", 0),
                              workLine("Bravo", 0)});
  SortQR(qr, 0, qr.Count - 1, scText, soAsc);
  EXPECT_EQ(texts(qr), (std::vector<std::string>{"Alpha", "Bravo", "charlie", "delta"}));

  // Many ties and an organ-pipe shape: the sort must finish in order and keep every line.
  TQueryResult big;
  const int n = 20000;
  for (int i = 0; i < n; ++i) AppendQueryResultLine(big).TotalTime = i < n / 2 ? i % 7 : n - i;
  SortQR(big, 0, big.Count - 1, scTotalTime, soDesc);
  std::int64_t sum = 0;
  for (int i = 0; i < n; ++i) {
    sum += big.Lines[i].TotalTime;
    if (i > 0) {
      ASSERT_GE(big.Lines[i - 1].TotalTime, big.Lines[i].TotalTime);
    }
  }
  std::int64_t expected = 0;
  for (int i = 0; i < n; ++i) expected += i < n / 2 ? i % 7 : n - i;
  EXPECT_EQ(sum, expected);
}

// The sort written down step by step, with CompareQR and plain recursion.
void referenceSort(std::vector<TQueryResultLine>& lines, int lo, int hi, TSortCompareMode mode,
                   TSortOrder order) {
  if (hi <= lo) return;
  int i = lo;
  int j = hi;
  const TQueryResultLine pivot = lines[(lo + hi) / 2];
  do {
    if (order == soAsc) {
      while (CompareQR(lines[i], pivot, mode) < 0) ++i;
      while (CompareQR(lines[j], pivot, mode) > 0) --j;
    } else {
      while (CompareQR(lines[i], pivot, mode) > 0) ++i;
      while (CompareQR(lines[j], pivot, mode) < 0) --j;
    }
    if (i <= j) {
      if (i != j) std::swap(lines[i], lines[j]);
      ++i;
      --j;
    }
  } while (i <= j);
  if (lo < j) referenceSort(lines, lo, j, mode, order);
  if (i < hi) referenceSort(lines, i, hi, mode, order);
}

// SortQR of the first n lines of `qr` leaves each line (told apart by its DateTimeClose)
// where the step-by-step sort does.
void expectSortedAsStepByStep(TQueryResult& qr, int n, int mode, TSortOrder order) {
  std::vector<TQueryResultLine> expected(qr.Lines.begin(), qr.Lines.begin() + n);
  referenceSort(expected, 0, n - 1, static_cast<TSortCompareMode>(mode), order);
  SortQR(qr, 0, n - 1, static_cast<TSortCompareMode>(mode), order);
  for (int k = 0; k < n; ++k) {
    ASSERT_EQ(qr.Lines[k].DateTimeClose, expected[k].DateTimeClose)
        << "mode " << mode << " order " << order << " n " << n << " at " << k;
  }
}

TEST_F(QueryResultTest, SortLeavesEveryLineWhereTheStepByStepSortDoes) {
  // Few distinct keys, so that ties abound; DateTimeClose tags each line and is never a key.
  static const char* const kNames[] = {"ann", "Ann", "bob", "BOB", "carl", ""};
  std::mt19937 random(42);
  for (int mode = scText; mode <= scUserName + 1; ++mode) {
    for (const TSortOrder order : {soAsc, soDesc}) {
      for (const int n : {2, 3, 7, 50, 1000}) {
        TQueryResult qr;
        for (int k = 0; k < n; ++k) {
          TQueryResultLine& line = AppendQueryResultLine(qr);
          line.Text = kNames[random() % 6];
          line.UserName = kNames[random() % 6];
          line.DateTimeOpen = 46000 + static_cast<double>(random() % 5) / 24;
          line.TotalTime = random() % 4;
          line.IdleTime = random() % 3;
          line.WorkTime = random() % 5;
          line.DateTimeClose = k;
        }
        expectSortedAsStepByStep(qr, n, mode, order);
      }
    }
  }
}

// Many distinct texts (more than the ranks of the text sort are proved for), with case
// variants that tie: the text sort by the texts themselves keeps the same order of ties.
TEST_F(QueryResultTest, SortByManyDistinctTextsLeavesTiesWhereTheStepByStepSortDoes) {
  std::mt19937 random(7);
  for (const int mode : {scText, scUserName}) {
    for (const TSortOrder order : {soAsc, soDesc}) {
      TQueryResult qr;
      const int n = 3000;
      for (int k = 0; k < n; ++k) {
        TQueryResultLine& line = AppendQueryResultLine(qr);
        std::string name = "user" + std::to_string(random() % 900);
        if (random() % 2 == 0) name[0] = 'U';
        (mode == scText ? line.Text : line.UserName) = name;
        line.DateTimeClose = k;
      }
      expectSortedAsStepByStep(qr, n, mode, order);
    }
  }
}

TEST_F(QueryResultTest, UnknownCompareModeStillExchangesLines) {
  // Every pair ties: each pass exchanges from both ends towards the middle: [d c b a], then
  // the halves [d c] and [b a] are exchanged again.
  TQueryResult qr = resultOf({workLine("a", 0), workLine("b", 0), workLine("c", 0),
                              workLine("d", 0)});
  SortQR(qr, 0, 3, static_cast<TSortCompareMode>(17), soAsc);
  EXPECT_EQ(texts(qr), (std::vector<std::string>{"c", "d", "a", "b"}));
}

TEST_F(QueryResultTest, WeekFoldSplitsSaturdayNightFromSundayMidnight) {
  // 2026-12-05 is a Saturday.
  TQueryResult qr = resultOf({sessionLine(encodeDateTime(2026, 12, 5, 23, 59, 0), 60),
                              sessionLine(encodeDateTime(2026, 12, 6, 0, 0, 0), 120),
                              sessionLine(encodeDateTime(2026, 12, 12, 23, 0, 0), 40)});
  const TQueryResult weeks = GroupQRBy(qr, fgWeek);
  ASSERT_EQ(weeks.Count, 2);
  EXPECT_EQ(weeks.Vision, qrvTextCol);
  EXPECT_EQ(weeks.Lines[0].Text, "11/29/26");
  EXPECT_EQ(weeks.Lines[0].DateTimeOpen, encodeDate(2026, 11, 29));
  EXPECT_EQ(weeks.Lines[0].DateTimeClose, encodeDate(2026, 12, 6));
  EXPECT_EQ(weeks.Lines[0].TotalTime, 60);
  EXPECT_EQ(weeks.Lines[1].Text, "12/06/26");
  EXPECT_EQ(weeks.Lines[1].DateTimeOpen, encodeDate(2026, 12, 6));
  EXPECT_EQ(weeks.Lines[1].DateTimeClose, encodeDate(2026, 12, 13));
  EXPECT_EQ(weeks.Lines[1].TotalTime, 160);
  EXPECT_EQ(weeks.Lines[1].IdleTime, 30 + 10);
  EXPECT_EQ(weeks.Lines[1].WorkTime, 90 + 30);
  EXPECT_EQ(weeks.Lines[1].CloseStatus, scsClosed);
  EXPECT_TRUE(weeks.Lines[1].UserName.empty());
  EXPECT_EQ(qr.Count, 3);  // the input is untouched
}

TEST_F(QueryResultTest, MonthFoldCrossesTheNewYear) {
  TQueryResult qr = resultOf({sessionLine(encodeDateTime(2026, 12, 31, 23, 30, 0), 600),
                              sessionLine(encodeDateTime(2027, 1, 1, 0, 10, 0), 300)});
  const TQueryResult months = GroupQRBy(qr, fgMonth);
  ASSERT_EQ(months.Count, 2);
  EXPECT_EQ(months.Lines[0].Text, "12/01/26");
  EXPECT_EQ(months.Lines[0].DateTimeClose, encodeDate(2027, 1, 1));
  EXPECT_EQ(months.Lines[1].Text, "01/01/27");
  EXPECT_EQ(months.Lines[1].DateTimeOpen, encodeDate(2027, 1, 1));
  EXPECT_EQ(months.Lines[1].DateTimeClose, encodeDate(2027, 2, 1));
  EXPECT_EQ(months.Lines[0].TotalTime, 600);
  EXPECT_EQ(months.Lines[1].TotalTime, 300);
}

TEST_F(QueryResultTest, DayFoldSkipsDaysWithoutSessions) {
  TQueryResult qr = resultOf({sessionLine(encodeDateTime(2026, 12, 1, 8, 0, 0), 10),
                              sessionLine(encodeDateTime(2026, 12, 1, 18, 0, 0), 20),
                              sessionLine(encodeDateTime(2026, 12, 2, 8, 0, 0), 30),
                              sessionLine(encodeDateTime(2026, 12, 5, 8, 0, 0), 40)});
  const TQueryResult days = GroupQRBy(qr, fgDay);
  EXPECT_EQ(texts(days), (std::vector<std::string>{"12/01/26", "12/02/26", "12/05/26"}));
  EXPECT_EQ(days.Lines[0].TotalTime, 30);
  EXPECT_EQ(days.Lines[2].DateTimeClose, encodeDate(2026, 12, 6));
  EXPECT_GT(days.Lines.size(), static_cast<std::size_t>(days.Count));  // nine-slot capacity
}

TEST_F(QueryResultTest, PeriodFoldAddsAnEarlierLineToTheCurrentPeriod) {
  TQueryResult qr = resultOf({sessionLine(encodeDateTime(2026, 12, 3, 8, 0, 0), 10),
                              sessionLine(encodeDateTime(2026, 12, 1, 8, 0, 0), 20)});
  const TQueryResult days = GroupQRBy(qr, fgDay);
  ASSERT_EQ(days.Count, 1);
  EXPECT_EQ(days.Lines[0].TotalTime, 30);
}

TEST_F(QueryResultTest, UserFoldMergesCaseVariantsUnderTheFirstSpelling) {
  TQueryResult qr = resultOf({sessionLine(1000, 40, ""), sessionLine(1000, 60, "alice"),
                              sessionLine(1000, 100, "Bob"), sessionLine(1000, 20, "bob"),
                              sessionLine(1000, 8, "BOB")});
  const TQueryResult users = GroupQRBy(qr, fgUsername);
  EXPECT_EQ(texts(users), (std::vector<std::string>{"", "alice", "Bob"}));
  EXPECT_EQ(users.Lines[2].TotalTime, 128);
  EXPECT_EQ(users.Lines[2].DateTimeOpen, 0.0);
  EXPECT_EQ(users.Lines[2].DateTimeClose, 0.0);
  EXPECT_TRUE(users.Lines[2].UserName.empty());
  EXPECT_EQ(users.Lines[0].TotalTime, 40);
}

TEST_F(QueryResultTest, FoldsWithoutLinesOrWithoutAFoldGiveEmptyResults) {
  EXPECT_EQ(GroupQRBy(TQueryResult{}, fgWeek).Count, 0);
  EXPECT_EQ(GroupQRBy(TQueryResult{}, fgUsername).Count, 0);
  const TQueryResult qr = resultOf({sessionLine(1000, 40)});
  EXPECT_EQ(GroupQRBy(qr, fgProject).Count, 0);
  EXPECT_EQ(GroupQRBy(qr, fgSession).Count, 0);
  EXPECT_TRUE(GroupQRBy(qr, fgSession).Lines.empty());
}

TEST_F(QueryResultTest, DateTextsFollowTheInstalledLocale) {
  const TDateTime when = encodeDateTime(2026, 12, 7, 14, 5, 59);
  EXPECT_EQ(shortDateText(when), "12/07/26");
  EXPECT_EQ(shortDateTimeText(when), "12/07/26 14:05");
  FixedLocale german("%d.%m.%Y", "%T", ",");
  ScopedLocale use(german);
  EXPECT_EQ(shortDateTimeText(when), "07.12.2026 14:05");
  const std::tm t = toTm(when);
  EXPECT_EQ(t.tm_wday, 1);  // Monday
  EXPECT_EQ(t.tm_yday, 340);
}

}  // namespace
}  // namespace hmr
