// SPDX-License-Identifier: MIT
// `hmr report`, run as the real program over data files that a tracked project wrote.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "core/uHMRProject.h"
#include "core/uHMRTimer.h"
#include "platform/PeriodicTimer.h"
#include "tests/support/TempFolder.h"
#include "tests/support/RunProgram.h"

#ifdef HMR_TEST_XML_PARSER
#include <QXmlStreamReader>
#endif

namespace hmr {
namespace {

using ::testing::HasSubstr;
using test_support::ProgramRun;

std::string spaces(std::size_t n) { return std::string(n, ' '); }

struct Session {
  TDateTime open;
  std::int64_t totalMinutes;
  std::int64_t idleMinutes;
  std::string user;
};

class CmdReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Dates and numbers as in the C locale, whatever the machine's settings are.
    if (const char* old = std::getenv("LC_ALL")) savedLcAll_ = old;
    setenv("LC_ALL", "C", 1);
  }
  void TearDown() override {
    savedLcAll_ ? setenv("LC_ALL", savedLcAll_->c_str(), 1) : unsetenv("LC_ALL");
  }

  // Writes the data file <folder>/<name>.HMR as the tracker does when a project closes.
  std::string writeProject(const std::string& name, const std::vector<Session>& sessions) {
    ScopedTimerGlobal timer(std::make_unique<ManualTimer>());
    THMRProject project;
    project.FileName = scratch_.path() + "/" + name + ".HMR";
    for (const Session& s : sessions) {
      project.AddSession(s.open, s.open + static_cast<double>(s.totalMinutes) / 1440.0, false,
                         s.idleMinutes * 60);
      project.Sessions.back().SessionUserName = s.user;
    }
    project.SaveFile(project.FileName);
    return project.FileName;
  }

  ProgramRun hmr(std::vector<std::string> args) {
    args.insert(args.begin(), "report");
    return test_support::runProgram(HMR_CLI_PATH, args, scratch_.path());
  }

  // Three projects; 2026-12-05 is a Saturday.
  void writeThreeProjects() {
    alpha_ = writeProject("Alpha", {{encodeDateTime(2026, 12, 5, 23, 59, 0), 60, 0, "bob"}});
    beta_ = writeProject("Beta", {{encodeDateTime(2026, 12, 6, 0, 0, 0), 30, 10, "Bob"},
                                  {encodeDateTime(2026, 12, 10, 10, 0, 0), 90, 0, "ann"}});
    gamma_ = writeProject("Gamma", {{encodeDateTime(2026, 11, 30, 8, 0, 0), 45, 5, "ann"},
                                    {encodeDateTime(2026, 12, 14, 9, 0, 0), 120, 60, "bob"}});
  }

  std::string groupHeader(const std::string& groupBy, const std::string& sortBy) const {
    return spaces(40) + "HMR Report\r\n\r\nProject Group:\r\n" + "  Alpha (" + alpha_ +
           ")\r\n  Beta (" + beta_ + ")\r\n  Gamma (" + gamma_ + ")\r\n\r\n" +
           "Filter Information:\r\n  Group by: " + groupBy + "\r\n  Sort by: " + sortBy +
           "\r\n";
  }

  testing::TempFolder scratch_;
  std::optional<std::string> savedLcAll_;
  std::string alpha_, beta_, gamma_;
};

TEST_F(CmdReportTest, GroupByWeekSortedByWorkDescendingInMinutes) {
  writeThreeProjects();
  const ProgramRun run = hmr({"--group-by", "week", "--sort-by", "work", "--order", "desc",
                              "--unit", "min", alpha_, beta_, gamma_});
  ASSERT_EQ(run.status, 0) << run.err;
  // Weeks from Sunday: 11/29 holds Saturday's Alpha and Monday's Gamma session (100 min of
  // work), 12/06 the two Beta sessions (110), 12/13 the last Gamma session (60).
  const std::string expected =
      groupHeader("Week", "Work Time (Desc)") + "\r\n" +
      "Week" + spaces(16) + "Total Time (min)" + spaces(4) + "Idle Time (min)" + spaces(5) +
      "Work Time (min)" + spaces(5) + "\r\n" + std::string(75, '-') + "\r\n" +
      "12/06/26" + spaces(12) + "  120.0" + spaces(13) + "   10.0" + spaces(13) + "  110.0" +
      spaces(13) + "\r\n" +
      "11/29/26" + spaces(12) + "  105.0" + spaces(13) + "    5.0" + spaces(13) + "  100.0" +
      spaces(13) + "\r\n" +
      "12/13/26" + spaces(12) + "  120.0" + spaces(13) + "   60.0" + spaces(13) + "   60.0" +
      spaces(13) + "\r\n" +
      "TOTAL" + spaces(15) + "  345.0" + spaces(13) + "   75.0" + spaces(13) + "  270.0" +
      spaces(13) + "\r\n";
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.err, "");
}

#ifdef HMR_TEST_XML_PARSER
// The bars of an SVG chart as an XML parser reads them: label, work and idle of each, and the
// heights of its two rectangles.
struct SvgBar {
  std::string label, work, idle;
  double workHeight = 0, idleHeight = 0;
};

std::vector<SvgBar> readSvgBars(const std::string& svg, std::string& error) {
  std::vector<SvgBar> bars;
  QXmlStreamReader xml(QByteArray::fromStdString(svg));
  bool root = true;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    if (root && xml.name() != QLatin1String("svg")) error = "the root is not <svg>";
    root = false;
    const QXmlStreamAttributes a = xml.attributes();
    if (xml.name() == QLatin1String("g") && a.value("class") == QLatin1String("bar")) {
      bars.push_back({a.value("data-label").toString().toStdString(),
                      a.value("data-work").toString().toStdString(),
                      a.value("data-idle").toString().toStdString()});
    } else if (xml.name() == QLatin1String("rect") && !bars.empty()) {
      const double height = a.value("height").toDouble();
      if (a.value("class") == QLatin1String("work")) bars.back().workHeight = height;
      if (a.value("class") == QLatin1String("idle")) bars.back().idleHeight = height;
    }
  }
  if (xml.hasError()) error = xml.errorString().toStdString();
  return bars;
}

// The cells of a semicolon-separated report, row by row, without the padding of the figures.
std::vector<std::vector<std::string>> csvRows(const std::string& csv) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(csv);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, ';');)
      cells.push_back(cell.substr(std::min(cell.find_first_not_of(' '), cell.size())));
    rows.push_back(cells);
  }
  return rows;
}

TEST_F(CmdReportTest, SvgChartIsValidAndItsBarsMatchTheReport) {
  writeThreeProjects();
  for (const std::vector<std::string>& choice :
       {std::vector<std::string>{"--group-by", "week", "--unit", "min"},
        std::vector<std::string>{"--group-by", "project"},
        std::vector<std::string>{"--group-by", "session", "--sort-by", "work"}}) {
    std::vector<std::string> args = choice;
    args.insert(args.end(), {alpha_, beta_, gamma_});
    std::vector<std::string> svgArgs = args, csvArgs = args;
    svgArgs.insert(svgArgs.begin(), {"--format", "svg"});
    csvArgs.insert(csvArgs.begin(), {"--format", "csv"});
    const ProgramRun svg = hmr(svgArgs);
    const ProgramRun csv = hmr(csvArgs);
    ASSERT_EQ(svg.status, 0) << svg.err;
    ASSERT_EQ(csv.status, 0) << csv.err;
    std::string error;
    const std::vector<SvgBar> bars = readSvgBars(svg.out, error);
    EXPECT_EQ(error, "") << choice[1];
    // The csv's title row and totals row hold no bar; its last two columns are idle and work.
    const auto rows = csvRows(csv.out);
    ASSERT_EQ(bars.size() + 2, rows.size()) << choice[1];
    // Heights in proportion to the figures, one scale for every bar (taken from the highest
    // work bar); the figures are rounded to the unit's decimals, the heights to hundredths.
    double perUnit = 0, most = 0;
    for (const SvgBar& bar : bars) {
      if (std::stod(bar.work) > most) {
        most = std::stod(bar.work);
        perUnit = bar.workHeight / most;
      }
    }
    const double slack = 0.0006 * perUnit + 0.01;
    for (std::size_t k = 0; k < bars.size(); ++k) {
      const std::vector<std::string>& row = rows[k + 1];
      EXPECT_EQ(bars[k].work, row[row.size() - 1]) << choice[1] << " bar " << k;
      EXPECT_EQ(bars[k].idle, row[row.size() - 2]) << choice[1] << " bar " << k;
      EXPECT_NEAR(bars[k].workHeight, std::stod(bars[k].work) * perUnit, slack) << choice[1];
      EXPECT_NEAR(bars[k].idleHeight, std::stod(bars[k].idle) * perUnit, slack) << choice[1];
    }
    EXPECT_GT(perUnit, 0) << choice[1];
  }
}
#endif

TEST_F(CmdReportTest, OneFileShowsItsSessionsByDefault) {
  writeThreeProjects();
  const ProgramRun run = hmr({"--format", "csv", beta_});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "Open Date/Time;Close Date/Time;User Name;Total Time (hs);Idle Time (hs);"
            "Work Time (hs)\r\n"
            "12/06/26 00:00;12/06/26 00:30;Bob ;  0.500;  0.167;  0.333\r\n"
            "12/10/26 10:00;12/10/26 11:30;ann ;  1.500;  0.000;  1.500\r\n"
            " ; ;TOTAL;  2.000;  0.167;  1.833\r\n");
  const ProgramRun text = hmr({"--no-user-column", beta_});
  EXPECT_THAT(text.out, HasSubstr("Project:\r\n  Beta (" + beta_ + ")\r\n"));
  EXPECT_THAT(text.out, HasSubstr("  Group by: Session\r\n  Sort by: Session (Asc)\r\n"));
  EXPECT_THAT(text.out, HasSubstr(" " + spaces(19) + "TOTAL" + spaces(15) + "  2.000"));
}

TEST_F(CmdReportTest, GroupDefaultIsOneLinePerProjectAndOutputFileMatches) {
  writeThreeProjects();
  const std::string out = scratch_.path() + "/report.txt";
  const ProgramRun run = hmr({"-o", out, "--group", alpha_});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  const std::string written = testing::readBytes(out);
  EXPECT_THAT(written, HasSubstr("Project Group:\r\n  Alpha (" + alpha_ + ")\r\n\r\n"));
  EXPECT_THAT(written, HasSubstr("  Sort by: Project (Asc)\r\n"));
  EXPECT_THAT(written, HasSubstr("\r\nAlpha" + spaces(15) + "  1.000" + spaces(13) +
                                 "  0.000" + spaces(13) + "  1.000"));
  EXPECT_EQ(hmr({"--group", alpha_}).out, written);
}

TEST_F(CmdReportTest, UserFoldAcrossProjectsAsJson) {
  writeThreeProjects();
  const ProgramRun run =
      hmr({"--format", "json", "--group-by", "username", "--sort-by", "total", alpha_, beta_,
           gamma_});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("\"level\": \"group\""));
  EXPECT_THAT(run.out, HasSubstr("\"sortBy\": \"Total Time\""));
  EXPECT_THAT(run.out, HasSubstr("\"count\": 2,"));
  // ann: 90 + 45 minutes; bob and Bob: 60 + 30 + 120 minutes.
  EXPECT_THAT(run.out, HasSubstr("\"closeStatus\": \"closed\", \"totalTime\": 8100, "
                                 "\"idleTime\": 300, \"workTime\": 7800, \"userName\": \"\"}"));
  EXPECT_THAT(run.out, HasSubstr("\"totalTime\": 12600, \"idleTime\": 4200, "
                                 "\"workTime\": 8400"));
}

TEST_F(CmdReportTest, UnreadableFileIsReportedWithExitStatusOne) {
  writeThreeProjects();
  const std::string missing = scratch_.path() + "/Missing.HMR";
  const ProgramRun run = hmr({alpha_, missing});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "Error reading HMR file " + missing + " : No such file or directory\n");
  EXPECT_EQ(run.out, "");
  testing::writeBytes(scratch_.path() + "/Bad.HMR", "not a data file");
  const ProgramRun bad = hmr({scratch_.path() + "/Bad.HMR"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_THAT(bad.err, HasSubstr("Error reading HMR file " + scratch_.path() + "/Bad.HMR : "));
}

// A lead's report over a checkout: every data file below the folder, both extensions, at the
// group level, sorted by path; links to folders are not followed and git's folder is skipped.
TEST_F(CmdReportTest, RecursiveReportsEveryDataFileBelowAFolder) {
  namespace fs = std::filesystem;
  const std::string checkout = scratch_.path() + "/checkout";
  for (const char* folder : {"checkout/billing", "checkout/tools/cli", "checkout/.git/x",
                             "outside"})
    fs::create_directories(scratch_.path() + "/" + folder);
  const std::string billing =
      writeProject("checkout/billing/Billing", {{encodeDateTime(2026, 12, 7, 9, 0, 0), 60, 0,
                                                 "ann"}});
  const std::string cli = scratch_.path() + "/checkout/tools/cli/cli.hmr";
  fs::rename(writeProject("checkout/tools/cli/cli", {{encodeDateTime(2026, 12, 8, 9, 0, 0), 30,
                                                      0, "bob"}}),
             cli);
  writeProject("checkout/.git/x/Hidden", {{encodeDateTime(2026, 12, 9, 9, 0, 0), 30, 0, "eve"}});
  writeProject("outside/Far", {{encodeDateTime(2026, 12, 9, 9, 0, 0), 30, 0, "eve"}});
  fs::create_directory_symlink(scratch_.path() + "/outside", checkout + "/linked");
  testing::writeBytes(checkout + "/notes.txt", "not a data file");

  const ProgramRun run = hmr({"--recursive", checkout, "--group-by", "username"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_THAT(run.out, HasSubstr("Project Group:\r\n  Billing (" + billing + ")\r\n  cli (" +
                                 cli + ")\r\n\r\n"));
  EXPECT_THAT(run.out, HasSubstr("\r\nann" + spaces(17) + "  1.000"));
  EXPECT_THAT(run.out, HasSubstr("\r\nbob" + spaces(17) + "  0.500"));
  EXPECT_THAT(run.out, ::testing::Not(HasSubstr("eve")));

  // One file found is still the group level; named files come first.
  const ProgramRun one = hmr({"-r", checkout + "/billing", billing});
  EXPECT_EQ(one.status, 0);
  EXPECT_THAT(one.out, HasSubstr("Project Group:\r\n  Billing (" + billing + ")\r\n\r\n"));
  const ProgramRun both = hmr({"-r", checkout + "/tools", "-r", checkout + "/billing"});
  EXPECT_THAT(both.out, HasSubstr("  cli (" + cli + ")\r\n  Billing ("));

  // A damaged file found is named and left out; the report covers the others.
  testing::writeBytes(checkout + "/tools/Broken.HMR", "damaged");
  const ProgramRun damaged = hmr({"-r", checkout});
  EXPECT_EQ(damaged.status, 1);
  EXPECT_EQ(damaged.err, "Error reading HMR file " + checkout +
                             "/tools/Broken.HMR : HMR file is corrupted\n");
  EXPECT_THAT(damaged.out, HasSubstr("  cli (" + cli + ")"));

  const ProgramRun none = hmr({"-r", scratch_.path() + "/checkout/.git/x/.."});
  EXPECT_EQ(none.status, 0);  // inside git's folder by name: the folder given is walked
  const std::string empty = scratch_.path() + "/empty";
  fs::create_directory(empty);
  const ProgramRun nothing = hmr({"-r", empty});
  EXPECT_EQ(nothing.status, 1);
  EXPECT_THAT(nothing.err, HasSubstr("no data file (.HMR, .hmr)"));
}

// The files of a checkout are read on several threads: the report by user over all of them
// adds up to the reports of the files one by one, and a damaged file among many is still
// named alone, once.
TEST_F(CmdReportTest, ReportOverManyFilesIsTheSumOfTheFilesReports) {
  namespace fs = std::filesystem;
  const std::string checkout = scratch_.path() + "/team";
  static const char* const kUsers[] = {"ann", "bob", "carla", "dmitri"};
  std::vector<std::string> files;
  for (int f = 0; f < 24; ++f) {
    fs::create_directories(checkout + "/area" + std::to_string(f % 5));
    std::vector<Session> sessions;
    for (int k = 0; k < 20 + f; ++k) {
      sessions.push_back({encodeDateTime(2026, 1, 1 + k % 28, 8 + f % 10, 0, 0),
                          5 + (k * 7 + f) % 90, (k + f) % 5, kUsers[(k + f) % 4]});
    }
    files.push_back(writeProject("team/area" + std::to_string(f % 5) + "/P" +
                                     std::to_string(f), sessions));
  }
  // The total, idle and work seconds of each user's line of a JSON report.
  const auto totalsByUser = [](const std::string& json) {
    std::map<std::string, std::vector<std::int64_t>> totals;
    const std::regex line(R"re(\{"text": "([a-z]+)",.*"totalTime": (\d+), "idleTime": (\d+), )re"
                          R"re("workTime": (\d+),)re");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), line);
         it != std::sregex_iterator(); ++it) {
      auto& sums = totals[(*it)[1]];
      sums.resize(3);
      for (int i = 0; i < 3; ++i) sums[i] += std::stoll((*it)[i + 2]);
    }
    return totals;
  };
  std::map<std::string, std::vector<std::int64_t>> expected;
  for (const std::string& file : files) {
    const ProgramRun one = hmr({"--group-by", "username", "--format", "json", file});
    ASSERT_EQ(one.status, 0) << one.err;
    for (const auto& [user, sums] : totalsByUser(one.out)) {
      auto& to = expected[user];
      to.resize(3);
      for (int i = 0; i < 3; ++i) to[i] += sums[i];
    }
  }
  ASSERT_EQ(expected.size(), 4u);
  const ProgramRun all = hmr({"-r", checkout, "--group-by", "username", "--format", "json"});
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(totalsByUser(all.out), expected);
  const ProgramRun named = hmr({"--group", "--group-by", "username", "--format", "json",
                                files[3], files[17], files[3]});
  ASSERT_EQ(named.status, 0) << named.err;
  EXPECT_THAT(named.out, HasSubstr("\"count\": 4,"));

  testing::writeBytes(checkout + "/area2/Broken.HMR", "damaged");
  const ProgramRun damaged = hmr({"-r", checkout, "--group-by", "username", "--format", "json"});
  EXPECT_EQ(damaged.status, 1);
  EXPECT_EQ(damaged.err, "Error reading HMR file " + checkout +
                             "/area2/Broken.HMR : HMR file is corrupted\n");
  EXPECT_EQ(totalsByUser(damaged.out), expected);
}

TEST_F(CmdReportTest, ChoicesOutsideTheLevelAreUsageErrors) {
  writeThreeProjects();
  EXPECT_EQ(hmr({"--group-by", "project", alpha_}).status, 2);  // one project has no projects
  EXPECT_EQ(hmr({"--group-by", "day", "--sort-by", "week", alpha_}).status, 2);
  EXPECT_EQ(hmr({"--unit", "sec", alpha_}).status, 2);
  EXPECT_EQ(hmr({}).status, 2);
  const ProgramRun help = hmr({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_THAT(help.out, HasSubstr("--group-by"));
  EXPECT_EQ(hmr({"--group-by", "Day", "--sort-by", "DAY", alpha_}).status, 0);
}

}  // namespace
}  // namespace hmr
