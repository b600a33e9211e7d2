// SPDX-License-Identifier: MIT
// The chart's bars read from the grid's cells: labels, figures in the unit, tooltips, the
// value axis' round steps, the labels that fit, and the SVG picture of a report.
#include "core/ChartBars.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ChartSvg.h"
#include "platform/Locale.h"

namespace hmr {
namespace {

TQueryResultLine textLine(std::string text, std::int64_t total, std::int64_t idle) {
  TQueryResultLine l;
  l.Text = std::move(text);
  l.TotalTime = total;
  l.IdleTime = idle;
  l.WorkTime = total - idle;
  return l;
}

class ChartBarsTest : public ::testing::Test {
 protected:
  // Three days: 1.5 h (0.5 idle), 4 h (none idle), 0.25 h (0.05 idle).
  static TQueryResult days() {
    TQueryResult qr;
    qr.Vision = qrvTextCol;
    AppendQueryResultLine(qr) = textLine("2026-12-07", 5400, 1800);
    AppendQueryResultLine(qr) = textLine("2026-12-08", 14400, 0);
    AppendQueryResultLine(qr) = textLine("2026-12-09", 900, 180);
    return qr;
  }

  static std::string svgOf(const ChartBars& bars) {
    std::string out;
    writeChartSvg(bars, [&out](std::string_view text) { out.append(text); });
    return out;
  }

  FixedLocale locale_{"%Y-%m-%d", "%H:%M:%S", ","};
  ScopedLocale useLocale_{locale_};
};

TEST_F(ChartBarsTest, BarsAreTheLinesInTheUnitWithTheGridsTexts) {
  const TQueryResult qr = days();
  const GridCells cells(qr, "Day", dtuHour, true);
  const ChartBars bars(cells);
  ASSERT_EQ(bars.count(), 3);
  EXPECT_EQ(bars.label(0), "2026-12-07");
  EXPECT_DOUBLE_EQ(bars.work(0), 1.0);
  EXPECT_DOUBLE_EQ(bars.idle(0), 0.5);
  EXPECT_DOUBLE_EQ(bars.work(1), 4.0);
  EXPECT_DOUBLE_EQ(bars.idle(2), 0.05);
  EXPECT_DOUBLE_EQ(bars.highest(), 4.0);
  // The tooltip's figures are the grid's time cells, with the locale's decimal comma.
  EXPECT_EQ(bars.tooltip(0), "2026-12-07\nWork: 1,000 hs\nIdle: 0,500 hs\nTotal: 1,500 hs");
  EXPECT_EQ(bars.axisTitle(), "Time (hs)");
  EXPECT_EQ(bars.title(), "Work and idle time by Day");

  const GridCells minutes(qr, "Day", dtuMinute, true);
  const ChartBars inMinutes(minutes);
  EXPECT_DOUBLE_EQ(inMinutes.work(1), 240.0);
  EXPECT_EQ(inMinutes.axisTitle(), "Time (min)");
}

TEST_F(ChartBarsTest, SessionBarsAreLabelledByTheirOpenTime) {
  TQueryResult qr;
  qr.Vision = qrvBothCol;
  TQueryResultLine& line = AppendQueryResultLine(qr);
  line = textLine("Billing", 600, 0);
  line.DateTimeOpen = encodeDateTime(2026, 12, 7, 9, 5, 0);
  line.DateTimeClose = encodeDateTime(2026, 12, 7, 9, 15, 0);
  const GridCells cells(qr, "Session", dtuHour, true);
  EXPECT_EQ(ChartBars(cells).label(0), "Billing 2026-12-07 09:05");
  qr.Vision = qrvOpenCloseCol;
  const GridCells sessions(qr, "Session", dtuHour, true);
  EXPECT_EQ(ChartBars(sessions).label(0), "2026-12-07 09:05");
}

TEST_F(ChartBarsTest, ValueAxisTakesRoundStepsAndLabelsSpreadEvenly) {
  double top = 0;
  EXPECT_DOUBLE_EQ(niceAxisStep(7.3, 5, top), 2.0);
  EXPECT_DOUBLE_EQ(top, 8.0);
  EXPECT_DOUBLE_EQ(niceAxisStep(4.0, 5, top), 1.0);
  EXPECT_DOUBLE_EQ(top, 4.0);
  EXPECT_DOUBLE_EQ(niceAxisStep(0.033, 5, top), 0.01);
  EXPECT_DOUBLE_EQ(top, 0.04);
  EXPECT_DOUBLE_EQ(niceAxisStep(0, 5, top), 1.0);
  EXPECT_DOUBLE_EQ(top, 1.0);

  TQueryResult qr;
  qr.Vision = qrvTextCol;
  for (int k = 0; k < 10; ++k) AppendQueryResultLine(qr) = textLine(std::to_string(k), 60, 0);
  const GridCells cells(qr, "Day", dtuHour, true);
  const ChartBars bars(cells);
  EXPECT_EQ(bars.labelledBars(3), (std::vector<std::int32_t>{0, 4, 8}));
  EXPECT_EQ(bars.labelledBars(10).size(), 10u);
  EXPECT_EQ(bars.labelledBars(50).size(), 10u);
  EXPECT_TRUE(bars.labelledBars(0).empty());
  // On an axis of 200 pixels: a label 100 wide under bar 2 (centre 50) and bar 7 (centre
  // 150) just reaches the ends; under bar 1 or 8 it would reach past them.
  EXPECT_EQ(bars.labelledBars(20.0, 100.0), (std::vector<std::int32_t>{2, 7}));
  EXPECT_EQ(bars.labelledBars(50.0, 40.0).size(), 10u);
  // A label wider than the whole axis: none.
  EXPECT_TRUE(bars.labelledBars(10.0, 150.0).empty());
}

TEST_F(ChartBarsTest, SvgHoldsOneBarPerLineWithTheGridsFigures) {
  TQueryResult qr = days();
  qr.Lines[0].Text = "R&D <night>";
  const GridCells cells(qr, "Day", dtuHour, true);
  const std::string svg = svgOf(ChartBars(cells));
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("<svg xmlns=\"http://www.w3.org/2000/svg\""), std::string::npos);
  EXPECT_NE(svg.find("data-label=\"R&amp;D &lt;night&gt;\" data-work=\"1,000\" "
                     "data-idle=\"0,500\""),
            std::string::npos);
  EXPECT_NE(svg.find("data-work=\"4,000\" data-idle=\"0,000\""), std::string::npos);
  EXPECT_EQ(svg.find("R&D"), std::string::npos);  // never unescaped
  // Coordinates take a full stop whatever the locale's decimal separator.
  EXPECT_EQ(svg.find("height=\"0,"), std::string::npos);
  EXPECT_NE(svg.find("Time (hs)"), std::string::npos);
  std::size_t barsFound = 0;
  for (std::size_t at = svg.find("class=\"bar\""); at != std::string::npos;
       at = svg.find("class=\"bar\"", at + 1))
    ++barsFound;
  EXPECT_EQ(barsFound, 3u);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}

TEST_F(ChartBarsTest, SvgOfNothingSaysSo) {
  const TQueryResult empty;
  const GridCells cells(empty, "Day", dtuHour, true);
  const ChartBars bars(cells);
  EXPECT_EQ(bars.count(), 0);
  EXPECT_DOUBLE_EQ(bars.highest(), 0.0);
  const std::string svg = svgOf(bars);
  EXPECT_NE(svg.find(std::string(ChartBars::NothingToShow)), std::string::npos);
  EXPECT_EQ(svg.find("class=\"bar\""), std::string::npos);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}

}  // namespace
}  // namespace hmr
