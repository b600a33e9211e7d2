// SPDX-License-Identifier: MIT
// The report header, the text report, the semicolon-separated text and the clipboard text,
// against exact expected texts; and the checked report file.
#include "core/uHMRExport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/GridCells.h"
#include "platform/HmrError.h"
#include "platform/Locale.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

std::string spaces(std::size_t n) { return std::string(n, ' '); }

const std::string kHeaderOfGroup =
    spaces(40) + "HMR Report\r\n"
    "\r\n"
    "Project Group:\r\n"
    "  Alpha (/home/dev/alpha/Alpha.HMR)\r\n"
    "  Beta (/home/dev/beta/Beta.HMR)\r\n"
    "\r\n"
    "Filter Information:\r\n"
    "  Group by: Week\r\n"
    "  Sort by: Work Time (Desc)\r\n";

ExportHeaderInputs groupInputs() {
  ExportHeaderInputs in;
  in.Projects = {{"Alpha", "/home/dev/alpha/Alpha.HMR"}, {"Beta", "/home/dev/beta/Beta.HMR"}};
  in.GroupByText = "Week";
  in.SortByText = "Work Time";
  in.SortOrderText = "Desc";
  return in;
}

TEST(ExportTables, TextsInEnumerationOrder) {
  EXPECT_EQ(TimeUnitStrings[dtuMinute], "(min)");
  EXPECT_EQ(TimeUnitFormatStrings[dtuHour], "%7.3f");
  EXPECT_EQ(Group_GroupByStrings[ggUsername], "Username");
  EXPECT_EQ(Project_GroupByStrings[pgWeek], "Week");
  EXPECT_EQ(Base_SortByStrings[sbIdleTime], "Idle Time");
  EXPECT_EQ(OrderStrings[soDesc], "Desc");
  const auto list = sortByListTexts(Group_GroupByStrings[ggDay]);
  EXPECT_EQ(list[0], "Day");
  EXPECT_EQ(list[3], "Work Time");
}

TEST(ExportHeader, GroupListsEveryProjectInOrder) {
  EXPECT_EQ(GetExportHeader(groupInputs()), kHeaderOfGroup);
}

TEST(ExportHeader, SelectedProjectAndEmptyGroup) {
  ExportHeaderInputs in;
  in.ProjectSelected = true;
  in.Projects = {{"Demo", "/w/Demo.HMR"}};
  in.GroupByText = "Session";
  in.SortByText = "Session";
  in.SortOrderText = "Asc";
  EXPECT_EQ(GetExportHeader(in), spaces(40) +
                                     "HMR Report\r\n\r\nProject:\r\n  Demo (/w/Demo.HMR)\r\n\r\n"
                                     "Filter Information:\r\n  Group by: Session\r\n"
                                     "  Sort by: Session (Asc)\r\n");
  ExportHeaderInputs none;
  none.GroupByText = "Project";
  none.SortByText = "Project";
  none.SortOrderText = "Asc";
  EXPECT_EQ(GetExportHeader(none), spaces(40) +
                                       "HMR Report\r\n\r\nProject Group:\r\n\r\n"
                                       "Filter Information:\r\n  Group by: Project\r\n"
                                       "  Sort by: Project (Asc)\r\n");
}

// A 25-character first cell: the file keeps its stops at 40 and 60, the clipboard gives every
// cell 20 characters of its own, so its later columns stand 5 characters further right.
TEST(ExportText, FixedStopsAgainstClipboardCells) {
  const CellTable cells({{"Project", "Total Time (hs)", "Work Time (hs)"},
                         {std::string(25, 'x'), "  1.500", "  1.000"},
                         {"TOTAL", "  1.500", "  1.000"}});
  const std::string title = "Project" + spaces(13) + "Total Time (hs)" + spaces(5) +
                            "Work Time (hs)" + spaces(6);
  const std::string dashes(54, '-');
  EXPECT_EQ(buildTextReport("H\r\n", cells),
            "H\r\n\r\n" + title + "\r\n" + dashes + "\r\n" +
                std::string(25, 'x') + "  1.500" + spaces(8) + "  1.000" + spaces(13) + "\r\n" +
                "TOTAL" + spaces(15) + "  1.500" + spaces(13) + "  1.000" + spaces(13) + "\r\n");
  EXPECT_EQ(buildClipboardText("H\r\n", cells),
            "H\r\n\r\n" + title + "\r\n" + dashes + "\r\n" +
                std::string(25, 'x') + "  1.500" + spaces(13) + "  1.000" + spaces(13) + "\r\n" +
                "TOTAL" + spaces(15) + "  1.500" + spaces(13) + "  1.000" + spaces(13) + "\r\n");
}

TEST(ExportText, DashesSpanTheTitleBetweenItsFirstAndLastNonBlank) {
  const CellTable cells({{" ", "A", " "}});
  // " " + 19 spaces, "A" at 20, then blanks: trimmed length 1.
  EXPECT_EQ(buildTextReport("", cells), "\r\n" + spaces(20) + "A" + spaces(39) + "\r\n-\r\n");
}

TEST(ExportText, AccentedNamesCountAsOneCharacterEach) {
  const CellTable cells({{"T", "U"}, {"J\xC3\xA9r\xC3\xB4me", "x"}});
  const std::string text = buildTextReport("", cells);
  EXPECT_NE(text.find("J\xC3\xA9r\xC3\xB4me" + spaces(14) + "x" + spaces(19) + "\r\n"),
            std::string::npos);
}

TEST(ExportText, EmptyResultGivesHeaderTitlesDashesAndABlankRow) {
  FixedLocale locale;
  ScopedLocale use(locale);
  const TQueryResult empty;
  const GridCells cells(empty, "Project", dtuHour, true);
  const std::string title = "Project" + spaces(13) + "Total Time (hs)" + spaces(5) +
                            "Idle Time (hs)" + spaces(6) + "Work Time (hs)" + spaces(6);
  EXPECT_EQ(buildTextReport(kHeaderOfGroup, cells),
            kHeaderOfGroup + "\r\n" + title + "\r\n" + std::string(74, '-') + "\r\n" +
                spaces(80) + "\r\n");
  EXPECT_EQ(buildSemicolonText(cells),
            "Project;Total Time (hs);Idle Time (hs);Work Time (hs)\r\n;;;\r\n");
  EXPECT_EQ(buildClipboardText(kHeaderOfGroup, cells), buildTextReport(kHeaderOfGroup, cells));
}

TEST(ExportSemicolon, CellsAsTheyAreBetweenSeparatorsUnlessTheyHoldOne) {
  FixedLocale locale;
  ScopedLocale use(locale);
  TQueryResult qr;
  qr.Vision = qrvOpenCloseCol;
  TQueryResultLine& l = AppendQueryResultLine(qr);
  l.DateTimeOpen = encodeDateTime(2026, 12, 7, 9, 0, 0);
  l.CloseStatus = scsCurrent;
  l.TotalTime = 5400;
  l.WorkTime = 5400;
  l.UserName = "a;b";
  EXPECT_EQ(buildSemicolonText(GridCells(qr, "Session", dtuMinute, true)),
            "Open Date/Time;Close Date/Time;User Name;Total Time (min);Idle Time (min);"
            "Work Time (min)\r\n"
            "12/07/26 09:00;Current;\"a;b \";   90.0;    0.0;   90.0\r\n"
            " ; ;TOTAL;   90.0;    0.0;   90.0\r\n");
  for (int cols = 4; cols <= 7; ++cols) {
    const CellTable table(1, cols);
    EXPECT_EQ(buildSemicolonText(table), std::string(cols - 1, ';') + "\r\n");
  }
}

TEST(ExportSemicolon, QuotesAndLineBreaksAreQuotedTheUsualWay) {
  const CellTable table({{"say \"hi\"", "two\r\nlines", "plain", "lf\nonly"},
                         {"", " ", "a,b", "'"}});
  EXPECT_EQ(buildSemicolonText(table),
            "\"say \"\"hi\"\"\";\"two\r\nlines\";plain;\"lf\nonly\"\r\n"
            "; ;a,b;'\r\n");
}

// A grid of many lines, with a name that needs quoting in the semicolon-separated text.
TQueryResult manySessions(std::int32_t count) {
  TQueryResult qr;
  qr.Vision = qrvBothCol;
  for (std::int32_t k = 0; k < count; ++k) {
    TQueryResultLine& line = AppendQueryResultLine(qr);
    line.Text = k % 3 == 0 ? "a;\"b\"" : "Zoë";
    line.DateTimeOpen = encodeDateTime(2026, 1, 1, 8, 0, 0) + k * 0.37;
    line.DateTimeClose = line.DateTimeOpen + 0.02;
    line.CloseStatus = k % 50 == 7 ? scsNotClosed : scsClosed;
    line.TotalTime = k * 61;
    line.IdleTime = k * 7;
    line.WorkTime = k * 54;
    line.UserName = k % 2 == 0 ? "ann" : "björn";
  }
  return qr;
}

// Each writer hands its text on in pieces that end with a row; joined, they are the text of
// the same cells read one by one (CellTable asks for each cell's own string).
TEST(ExportPieces, ManyRowsGoOutInWholeRowsAndAsTheCellsRead) {
  FixedLocale fixed;
  const ScopedLocale use(fixed);
  const TQueryResult qr = manySessions(4000);
  const GridCells grid(qr, "Session", dtuHour, true);
  const CellTable copy = CellTable::copyOf(grid);
  using Writer = std::function<void(const CellRows&, const TextSink&)>;
  const std::vector<Writer> writers = {
      [](const CellRows& c, const TextSink& s) { writeTextReport("H\r\n", c, s); },
      [](const CellRows& c, const TextSink& s) { writeSemicolonText(c, s); },
      [](const CellRows& c, const TextSink& s) { writeClipboardText("H\r\n", c, s); }};
  for (std::size_t w = 0; w < writers.size(); ++w) {
    std::vector<std::string> pieces;
    writers[w](grid, [&pieces](std::string_view piece) { pieces.emplace_back(piece); });
    std::string joined;
    for (const std::string& piece : pieces) {
      EXPECT_TRUE(piece.ends_with("\r\n")) << "writer " << w;
      joined += piece;
    }
    EXPECT_GT(pieces.size(), 3u) << "writer " << w;
    std::string fromCopy;
    writers[w](copy, [&fromCopy](std::string_view piece) { fromCopy.append(piece); });
    EXPECT_EQ(joined, fromCopy) << "writer " << w;
  }
}

TEST(ExportFile, ProposedNamesAndExtensions) {
  EXPECT_EQ(proposedExportFileName(true, "/work/Demo.HMR", feText), "Demo.txt");
  EXPECT_EQ(proposedExportFileName(true, "/work/Demo.HMR", feCSV), "Demo.csv");
  EXPECT_EQ(proposedExportFileName(false, "", feText), "ProjectGroup.txt");
  EXPECT_EQ(proposedExportFileName(false, "/work/Demo.HMR", feCSV), "ProjectGroup.csv");
}

TEST(ExportFile, WritesTheSameBytesAsTheBuilders) {
  testing::TempFolder scratch;
  const CellTable cells({{"Day", "Total Time (hs)"}, {"12/07/26", "  1.500"}});
  const std::string text = scratch.file("r.txt");
  const std::string csv = scratch.file("r.csv");
  testing::writeBytes(text, "old contents that are longer than the report itself......."
                            "..........................................................."
                            "...........................................................");
  exportToFile(text, feText, "H\r\n", cells);
  exportToFile(csv, feCSV, "H\r\n", cells);
  EXPECT_EQ(testing::readBytes(text), buildTextReport("H\r\n", cells));
  EXPECT_EQ(testing::readBytes(csv), buildSemicolonText(cells));
}

TEST(ExportFile, CreateFailureNamesTheFileAndTheReason) {
  testing::TempFolder scratch;
  const std::string path = scratch.path() + "/missing/r.txt";
  try {
    exportToFile(path, feText, "H\r\n", CellTable(1, 1));
    FAIL() << "no error";
  } catch (const HmrError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Error writing report file " + path + " : No such file or directory");
  }
}

TEST(ExportFile, FullDiskIsReportedNotSwallowed) {
  std::FILE* probe = std::fopen("/dev/full", "wb");
  if (probe == nullptr) GTEST_SKIP() << "no /dev/full";
  std::fclose(probe);
  // Small enough to sit in the buffer until close, and large enough to fail on a write.
  for (const int rows : {1, 20000}) {
    const CellTable cells(rows, 3);
    try {
      exportToFile("/dev/full", feText, "H\r\n", cells);
      FAIL() << "no error for " << rows << " rows";
    } catch (const HmrError& e) {
      EXPECT_EQ(std::string(e.what()),
                "Error writing report file /dev/full : No space left on device");
    }
  }
}

}  // namespace
}  // namespace hmr
