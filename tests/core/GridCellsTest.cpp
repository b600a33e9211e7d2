// SPDX-License-Identifier: MIT
// The grid's cells: columns by vision, titles, date and time cells, the totals row and the
// single empty row of an empty result.
#include "core/GridCells.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Locale.h"

namespace hmr {
namespace {

using Row = std::vector<std::string>;

class GridCellsTest : public ::testing::Test {
 protected:
  static TQueryResultLine line(TDateTime open, TDateTime close, TSessionCloseStatus status,
                               std::int64_t total, std::int64_t idle, std::string user) {
    TQueryResultLine l;
    l.Text = "Demo";
    l.DateTimeOpen = open;
    l.DateTimeClose = close;
    l.CloseStatus = status;
    l.TotalTime = total;
    l.IdleTime = idle;
    l.WorkTime = total - idle;
    l.UserName = std::move(user);
    return l;
  }
  static TQueryResult sessions() {
    TQueryResult qr;
    qr.Vision = qrvOpenCloseCol;
    AppendQueryResultLine(qr) = line(encodeDateTime(2026, 12, 7, 9, 5, 59),
                                     encodeDateTime(2026, 12, 7, 10, 35, 59), scsClosed, 5400,
                                     1800, "Bob");
    AppendQueryResultLine(qr) = line(encodeDateTime(2026, 12, 8, 14, 0, 0), 0, scsNotClosed, 60,
                                     0, "ann");
    AppendQueryResultLine(qr) = line(encodeDateTime(2026, 12, 9, 8, 0, 0), 0, scsCurrent, 90, 30,
                                     "");
    return qr;
  }

  FixedLocale locale_;
  ScopedLocale useLocale_{locale_};
};

TEST_F(GridCellsTest, SessionListWithUserColumnInHours) {
  const TQueryResult qr = sessions();
  const CellTable cells = buildGridCells(qr, "Session", dtuHour, true);
  ASSERT_EQ(cells.rowCount(), 5);
  ASSERT_EQ(cells.colCount(), 6);
  EXPECT_EQ(cells.row(0), (Row{"Open Date/Time", "Close Date/Time", "User Name",
                               "Total Time (hs)", "Idle Time (hs)", "Work Time (hs)"}));
  EXPECT_EQ(cells.row(1), (Row{"12/07/26 09:05", "12/07/26 10:35", "Bob ", "  1.500", "  0.500",
                               "  1.000"}));
  EXPECT_EQ(cells.row(2), (Row{"12/08/26 14:00", "Not Closed", "ann ", "  0.017", "  0.000",
                               "  0.017"}));
  EXPECT_EQ(cells.row(3), (Row{"12/09/26 08:00", "Current", " ", "  0.025", "  0.008",
                               "  0.017"}));
  EXPECT_EQ(cells.row(4), (Row{" ", " ", "TOTAL", "  1.542", "  0.508", "  1.033"}));
}

TEST_F(GridCellsTest, MinutesWithoutUserColumnAndADecimalComma) {
  FixedLocale german("%d.%m.%Y", "%T", ",");
  ScopedLocale use(german);
  const TQueryResult qr = sessions();
  const GridCells cells(qr, "Session", dtuMinute, false);
  ASSERT_EQ(cells.colCount(), 5);
  EXPECT_EQ(cells.cell(0, 2), "Total Time (min)");
  EXPECT_EQ(cells.cell(0, 4), "Work Time (min)");
  EXPECT_EQ(cells.cell(1, 0), "07.12.2026 09:05");
  EXPECT_EQ(cells.cell(1, 2), "   90,0");
  EXPECT_EQ(cells.cell(1, 3), "   30,0");
  EXPECT_EQ(cells.cell(4, 0), " ");
  EXPECT_EQ(cells.cell(4, 1), "TOTAL");
  EXPECT_EQ(cells.cell(4, 2), "   92,5");
}

TEST_F(GridCellsTest, FiftyFourHundredSecondsInBothUnits) {
  TQueryResult qr;
  AppendQueryResultLine(qr) = line(0, 0, scsClosed, 5400, 0, "");
  const GridCells hours(qr, "Project", dtuHour, true);
  const GridCells minutes(qr, "Project", dtuMinute, true);
  EXPECT_EQ(hours.cell(1, 1), "  1.500");
  EXPECT_EQ(minutes.cell(1, 1), "   90.0");
  EXPECT_EQ(hours.cell(0, 1), "Total Time (hs)");
  EXPECT_EQ(minutes.cell(0, 1), "Total Time (min)");
  // A value wider than seven characters is not cut.
  qr.Lines[0].TotalTime = 360000000;
  EXPECT_EQ(GridCells(qr, "Project", dtuHour, true).cell(1, 1), "100000.000");
}

TEST_F(GridCellsTest, GroupedResultHasNoUserColumnAndTotalInTheTextColumn) {
  TQueryResult qr;
  qr.Vision = qrvTextCol;
  AppendQueryResultLine(qr) = line(encodeDate(2026, 12, 6), encodeDate(2026, 12, 13), scsClosed,
                                   7200, 0, "");
  AppendQueryResultLine(qr).Text = "12/13/26";
  const CellTable cells = buildGridCells(qr, "Week", dtuHour, true);
  ASSERT_EQ(cells.colCount(), 4);
  EXPECT_EQ(cells.row(0), (Row{"Week", "Total Time (hs)", "Idle Time (hs)", "Work Time (hs)"}));
  EXPECT_EQ(cells.row(1), (Row{"Demo", "  2.000", "  0.000", "  2.000"}));
  EXPECT_EQ(cells.row(3), (Row{"TOTAL", "  2.000", "  0.000", "  2.000"}));
}

TEST_F(GridCellsTest, BothColumnsVisionWithUser) {
  TQueryResult qr = sessions();
  qr.Vision = qrvBothCol;
  const CellTable cells = buildGridCells(qr, "Session", dtuHour, true);
  ASSERT_EQ(cells.colCount(), 7);
  EXPECT_EQ(cells.at(0, 0), "Session");
  EXPECT_EQ(cells.at(1, 0), "Demo");
  EXPECT_EQ(cells.at(1, 3), "Bob ");
  EXPECT_EQ(cells.row(4), (Row{" ", " ", " ", "TOTAL", "  1.542", "  0.508", "  1.033"}));
  EXPECT_EQ(buildGridCells(qr, "Session", dtuHour, false).row(4),
            (Row{" ", " ", "TOTAL", "  1.542", "  0.508", "  1.033"}));
}

TEST_F(GridCellsTest, OneLineShowsItsValuesAgainAsTotal) {
  TQueryResult qr;
  qr.Vision = qrvOpenCloseCol;
  AppendQueryResultLine(qr) = line(encodeDateTime(2026, 12, 7, 9, 0, 0),
                                   encodeDateTime(2026, 12, 7, 9, 30, 0), scsClosed, 1800, 600,
                                   "x");
  const CellTable cells = buildGridCells(qr, "Session", dtuMinute, true);
  ASSERT_EQ(cells.rowCount(), 3);
  EXPECT_EQ(cells.row(2), (Row{" ", " ", "TOTAL", "   30.0", "   10.0", "   20.0"}));
}

TEST_F(GridCellsTest, EmptyResultHasTitlesAndOneEmptyRow) {
  TQueryResult qr;
  qr.Vision = qrvOpenCloseCol;
  const CellTable cells = buildGridCells(qr, "Session", dtuHour, true);
  ASSERT_EQ(cells.rowCount(), 2);
  EXPECT_EQ(cells.row(1), Row(6, ""));
  TQueryResult grouped;  // lines beyond Count are not lines
  grouped.Lines.resize(9);
  grouped.Lines[0].Text = "ghost";
  EXPECT_EQ(buildGridCells(grouped, "Day", dtuHour, true).row(1), Row(4, ""));
}

TEST_F(GridCellsTest, TwelveHourClockAroundMidnightAndNoon) {
  FixedLocale us("%m/%d/%Y", "%r");  // the time format without seconds: "%I:%M %p"
  ScopedLocale use(us);
  TQueryResult qr;
  qr.Vision = qrvOpenCloseCol;
  AppendQueryResultLine(qr) = line(encodeDateTime(2026, 12, 7, 0, 5, 0),
                                   encodeDateTime(2026, 12, 7, 12, 0, 0), scsClosed, 60, 0, "x");
  // 23:59:59.9996 is rounded to the next midnight, as the date-time's own rounding does.
  AppendQueryResultLine(qr) = line(encodeDate(2000, 2, 28) + 0.9999999954,
                                   encodeDateTime(2000, 2, 29, 23, 59, 0), scsClosed, 60, 0, "x");
  const GridCells cells(qr, "Session", dtuHour, true);
  EXPECT_EQ(cells.cell(1, 0), "12/07/2026 12:05 AM");
  EXPECT_EQ(cells.cell(1, 1), "12/07/2026 12:00 PM");
  EXPECT_EQ(cells.cell(2, 0), "02/29/2000 12:00 AM");
  EXPECT_EQ(cells.cell(2, 1), "02/29/2000 11:59 PM");
}

TEST_F(GridCellsTest, FormatsWithNamesStillGetTheWeekday) {
  FixedLocale named("%a %d.%m.", "%H.%M:%S");
  ScopedLocale use(named);
  const TQueryResult qr = sessions();
  const GridCells cells(qr, "Session", dtuHour, true);
  EXPECT_EQ(cells.cell(1, 0), "Mon 07.12. 09.05");
  EXPECT_EQ(cells.cell(2, 0), "Tue 08.12. 14.00");
}

// The exports append cells to their text: every cell appended comes out as cell() gives it.
TEST_F(GridCellsTest, AppendedCellsAreTheCells) {
  FixedLocale german("%d.%m.%Y", "%T", ",");
  for (Locale* locale : {static_cast<Locale*>(&locale_), static_cast<Locale*>(&german)}) {
    ScopedLocale use(*locale);
    for (const TQueryResultVision vision : {qrvTextCol, qrvOpenCloseCol, qrvBothCol}) {
      for (const TDispTimeUnit unit : {dtuHour, dtuMinute, dtuSecond}) {
        TQueryResult qr = sessions();
        qr.Vision = vision;
        const GridCells cells(qr, "Session", unit, true);
        for (std::int32_t r = 0; r < cells.rowCount(); ++r) {
          for (std::int32_t c = 0; c < cells.colCount(); ++c) {
            std::string out = "before|";
            cells.appendCell(out, r, c);
            EXPECT_EQ(out, "before|" + cells.cell(r, c)) << r << "," << c;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace hmr
