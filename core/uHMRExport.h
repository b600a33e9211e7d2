// SPDX-License-Identifier: MIT
// The texts that label the grid, the filter lists and the reports, and the three report
// exports of what the grid shows: a text report with fixed column stops, a semicolon-separated
// file and the clipboard text. Builders are pure (cells and header inputs in, text out); only
// exportToFile touches the file system. Every line break written is CR LF.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/CellTable.h"
#include "core/uHMRGlobal.h"

namespace hmr {

// Indexed by TDispTimeUnit: the time column titles' unit and the time cells' format.
inline constexpr std::array<std::string_view, 3> TimeUnitStrings = {"(hs)", "(min)", "(sec)"};
inline constexpr std::array<std::string_view, 3> TimeUnitFormatStrings = {"%7.3f", "%7.1f",
                                                                          "%d"};
// Indexed by TGroupGroupByMode and TProjectGroupByMode: the group-by list of each level.
inline constexpr std::array<std::string_view, 6> Group_GroupByStrings = {
    "Project", "Session", "Username", "Day", "Week", "Month"};
inline constexpr std::array<std::string_view, 5> Project_GroupByStrings = {
    "Session", "Username", "Day", "Week", "Month"};
// Indexed by TSortByMode. The first entry stands for the grouping in force and is filled with
// its name when the list is shown (sortByListTexts).
inline constexpr std::array<std::string_view, 4> Base_SortByStrings = {"", "Total Time",
                                                                       "Idle Time", "Work Time"};
// Indexed by TSortOrder.
inline constexpr std::array<std::string_view, 2> OrderStrings = {"Asc", "Desc"};

// The sort-by list as shown: Base_SortByStrings with its first entry set to `groupingName`.
std::array<std::string, 4> sortByListTexts(std::string_view groupingName);

inline constexpr std::string_view kLineBreak = "\r\n";
// Width of one column of the text report and of one cell of the clipboard text.
inline constexpr std::size_t kExportColumnWidth = 20;

// A project named in the report header.
struct ExportProject {
  std::string Name;      // display name (GetHMRName)
  std::string FileName;  // full path of its data file
};

// What the report header reads besides the cells.
struct ExportHeaderInputs {
  bool ProjectSelected = false;         // one project is shown, rather than the group
  std::vector<ExportProject> Projects;  // the selected project, or every project in order
  std::string GroupByText;              // the texts the three filter lists show
  std::string SortByText;
  std::string SortOrderText;
};

// The report header: title, the projects, the filter; every line ends with CR LF.
std::string GetExportHeader(const ExportHeaderInputs& Inputs);

// Receives consecutive pieces of an export's text.
using TextSink = std::function<void(std::string_view)>;

// The text report: header, an empty line, then each row with its cells at column stops 0, 20,
// 40, ... (a longer cell pushes the next one along, later stops still hold), and under the
// title row a line of "-" spanning its first to its last non-blank character.
void writeTextReport(std::string_view header, const CellRows& cells, const TextSink& sink);
std::string buildTextReport(std::string_view header, const CellRows& cells);

// One line per row, cells joined by ";" (no header). A cell holding ";", a double quote or a
// line break is put in double quotes with its double quotes doubled; every other cell is
// written as it is.
void writeSemicolonText(const CellRows& cells, const TextSink& sink);
std::string buildSemicolonText(const CellRows& cells);

// The clipboard text: header, then each row with every cell padded to 20 characters of its
// own, and the same dash line under the title row.
void writeClipboardText(std::string_view header, const CellRows& cells, const TextSink& sink);
std::string buildClipboardText(std::string_view header, const CellRows& cells);

// Characters of a text as a person counts them: UTF-8 continuation bytes do not count, so a
// name with accents lines up like one without.
std::size_t textWidth(std::string_view text);

// "txt" for feText, "csv" for feCSV.
std::string_view exportDefaultExtension(TFileExportFormat Format);
// The name the save dialog proposes: the selected project's data file name without folder and
// extension, or "ProjectGroup", then "." and the default extension.
std::string proposedExportFileName(bool projectSelected, std::string_view projectFileName,
                                   TFileExportFormat Format);

// Writes the text report (feText) or the semicolon-separated text (feCSV) to `path`, replacing
// any file of that name. Every step is checked (create, each write, close); a failure throws
// HmrError "Error writing report file <path> : <system's reason>", leaving what was written.
void exportToFile(const std::string& path, TFileExportFormat Format, std::string_view header,
                  const CellRows& cells);

// A file written piece by piece with every operation checked, as exportToFile writes. Throws
// HmrError naming the file and the system's reason on the first failure.
class ReportFile {
 public:
  explicit ReportFile(std::string path);  // creates or truncates the file
  ~ReportFile();                          // closes without checking when close() was not called
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  void write(std::string_view text);
  void close();
  TextSink sink() {
    return [this](std::string_view text) { write(text); };
  }

 private:
  [[noreturn]] void fail(int error) const;

  std::string path_;
  std::FILE* file_ = nullptr;
};

}  // namespace hmr
