// SPDX-License-Identifier: MIT
// `hmr report`: what the tracker dialog's export gives for data files opened stand-alone.
#include <sys/stat.h>

#include <cerrno>
#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/ChartBars.h"
#include "core/ChartSvg.h"
#include "core/DataFileReadAhead.h"
#include "core/GridCells.h"
#include "core/uHMRExport.h"
#include "core/uHMRProject.h"
#include "core/uHMRProjectGroup.h"
#include "core/uHMRTimer.h"
#include "host/hmr/Commands.h"
#include "host/hmr/Json.h"
#include "platform/HmrError.h"
#include "platform/PeriodicTimer.h"

namespace hmr::cli {
namespace {

struct ReportOptions {
  std::vector<std::string> files;
  std::vector<std::string> folders;  // --recursive: every data file below each
  bool group = false;
  std::string groupBy;  // empty: the dialog's default for the level
  std::string sortBy;   // empty: the grouping's own key
  std::string order = "asc";
  std::string unit = "hs";
  bool noUserColumn = false;
  std::string format = "text";
  std::string output;  // empty: standard output
};

std::string lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The position of `name` among `texts`, compared without letter case, or -1.
template <class Texts>
int indexOfText(const Texts& texts, const std::string& name) {
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (lower(std::string(texts[i])) == lower(name)) return static_cast<int>(i);
  }
  return -1;
}

// The choices of the dialog's three lists, checked against the level's lists.
struct Filter {
  int groupBy = 0;
  TSortByMode sortBy = sbVariant;
  TSortOrder order = soAsc;
  std::string groupByText;
  std::string sortByText;
  std::string orderText;
};

Filter parseFilter(const ReportOptions& options, bool projectLevel) {
  Filter f;
  if (!options.groupBy.empty()) {
    f.groupBy = projectLevel ? indexOfText(Project_GroupByStrings, options.groupBy)
                             : indexOfText(Group_GroupByStrings, options.groupBy);
    if (f.groupBy < 0) {
      throw CLI::ValidationError("--group-by", "\"" + options.groupBy + "\" is not a grouping " +
                                                   (projectLevel
                                                        ? "of one project (session, username, "
                                                          "day, week, month)"
                                                        : "of a group (project, session, "
                                                          "username, day, week, month)"));
    }
  }
  f.groupByText = projectLevel ? Project_GroupByStrings[static_cast<std::size_t>(f.groupBy)]
                               : Group_GroupByStrings[static_cast<std::size_t>(f.groupBy)];
  const auto sortTexts = sortByListTexts(f.groupByText);
  if (!options.sortBy.empty()) {
    const std::string key = lower(options.sortBy);
    if (key == lower(f.groupByText)) {
      f.sortBy = sbVariant;
    } else if (key == "total") {
      f.sortBy = sbTotalTime;
    } else if (key == "idle") {
      f.sortBy = sbIdleTime;
    } else if (key == "work") {
      f.sortBy = sbWorkTime;
    } else {
      throw CLI::ValidationError("--sort-by", "\"" + options.sortBy + "\" is neither the " +
                                                  "grouping (" + lower(f.groupByText) +
                                                  ") nor total, idle or work");
    }
  }
  f.sortByText = sortTexts[f.sortBy];
  f.order = lower(options.order) == "desc" ? soDesc : soAsc;
  f.orderText = OrderStrings[f.order];
  return f;
}

// Where a file lives on disk, as the system tells files apart: the same file reached by two
// names (a link, "./" in front) has one identity.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> identityOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{st.st_dev, st.st_ino};
}

std::string absolutePath(const std::string& path) {
  return std::filesystem::absolute(std::filesystem::path(path)).lexically_normal().string();
}

bool isDataFileName(const std::filesystem::path& path) {
  const std::filesystem::path ext = path.extension();
  return ext == ".HMR" || ext == ".hmr";
}

// Every data file (.HMR, .hmr) below `folder`, sorted by path. Links to folders are not
// followed (a link to a file is taken); git's own folder is passed over. A folder below
// `folder` that cannot be read is named in `problems` and passed over; `folder` itself that
// cannot be read fails with HmrError.
std::vector<std::string> findDataFiles(const std::string& folder,
                                       std::vector<std::string>& problems) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::is_directory(folder, error))
    throw HmrError("hmr report: " + folder + " is not a folder" +
                   (error ? " : " + error.message() : ""));
  std::vector<std::string> found;
  std::vector<fs::path> pending{fs::path(folder)};
  while (!pending.empty()) {
    const fs::path current = std::move(pending.back());
    pending.pop_back();
    fs::directory_iterator it(current, error), end;
    if (error) {
      const std::string message = "cannot read the folder " + current.string() + " : " +
                                  error.message();
      if (current == fs::path(folder)) throw HmrError("hmr report: " + message);
      problems.push_back(message);
      continue;
    }
    for (; it != end; it.increment(error)) {
      const fs::directory_entry& entry = *it;
      std::error_code ignored;
      if (entry.is_symlink(ignored)) {
        if (isDataFileName(entry.path()) && entry.is_regular_file(ignored))
          found.push_back(entry.path().string());
      } else if (entry.is_directory(ignored)) {
        if (entry.path().filename() != ".git") pending.push_back(entry.path());
      } else if (isDataFileName(entry.path())) {
        found.push_back(entry.path().string());
      }
    }
    if (error) problems.push_back("cannot read the folder " + current.string() + " : " +
                                  error.message());
  }
  std::sort(found.begin(), found.end());
  return found;
}

const char* closeStatusName(TSessionCloseStatus status) {
  switch (status) {
    case scsNotClosed:
      return "notClosed";
    case scsCurrent:
      return "current";
    default:
      return "closed";
  }
}

const char* visionName(TQueryResultVision vision) {
  switch (vision) {
    case qrvOpenCloseCol:
      return "openClose";
    case qrvBothCol:
      return "both";
    default:
      return "text";
  }
}

void writeJson(const TQueryResult& result, const ExportHeaderInputs& header,
               const std::string& unit, const TextSink& sink) {
  std::string text = "{\n";
  text += "  \"level\": " + toJsonString(header.ProjectSelected ? "project" : "group") + ",\n";
  text += "  \"projects\": [";
  for (std::size_t i = 0; i < header.Projects.size(); ++i) {
    text += i == 0 ? "\n" : ",\n";
    text += "    {\"name\": " + toJsonString(header.Projects[i].Name) +
            ", \"fileName\": " + toJsonString(header.Projects[i].FileName) + "}";
  }
  text += header.Projects.empty() ? "],\n" : "\n  ],\n";
  text += "  \"groupBy\": " + toJsonString(header.GroupByText) + ",\n";
  text += "  \"sortBy\": " + toJsonString(header.SortByText) + ",\n";
  text += "  \"order\": " + toJsonString(header.SortOrderText) + ",\n";
  text += "  \"unit\": " + toJsonString(unit) + ",\n";
  text += "  \"vision\": " + toJsonString(visionName(result.Vision)) + ",\n";
  text += "  \"count\": ";
  appendJsonNumber(text, result.Count);
  text += ",\n  \"lines\": [";
  // The lines go out in pieces of about 64 KiB, each line written straight into the piece.
  constexpr std::size_t kPieceSize = std::size_t{1} << 16;
  for (std::int32_t k = 0; k < result.Count; ++k) {
    const TQueryResultLine& l = result.Lines[static_cast<std::size_t>(k)];
    text += k == 0 ? "\n" : ",\n";
    text += "    {\"text\": ";
    appendJsonString(text, l.Text);
    text += ", \"dateTimeOpen\": \"";
    appendIsoDateTime(text, l.DateTimeOpen);
    text += "\", \"dateTimeClose\": \"";
    appendIsoDateTime(text, l.DateTimeClose);
    text += "\", \"closeStatus\": \"";
    text += closeStatusName(l.CloseStatus);
    text += "\", \"totalTime\": ";
    appendJsonNumber(text, l.TotalTime);
    text += ", \"idleTime\": ";
    appendJsonNumber(text, l.IdleTime);
    text += ", \"workTime\": ";
    appendJsonNumber(text, l.WorkTime);
    text += ", \"userName\": ";
    appendJsonString(text, l.UserName);
    text += "}";
    if (text.size() >= kPieceSize) {
      sink(text);
      text.clear();
    }
  }
  sink(text);
  sink(result.Count > 0 ? "\n  ]\n}\n" : "]\n}\n");
}

void writeReport(const ReportOptions& options, const TQueryResult& result,
                 const ExportHeaderInputs& header, const GridCells& cells,
                 const TextSink& sink) {
  const std::string text = GetExportHeader(header);
  // The option is matched without letter case when it is checked; an unknown value never
  // falls back to another format.
  const std::string format = lower(options.format);
  if (format == "csv") {
    writeSemicolonText(cells, sink);
  } else if (format == "clipboard") {
    writeClipboardText(text, cells, sink);
  } else if (format == "json") {
    writeJson(result, header, lower(options.unit), sink);
  } else if (format == "text") {
    writeTextReport(text, cells, sink);
  } else if (format == "svg") {
    writeChartSvg(ChartBars(cells), sink);
  } else {
    throw HmrError("unknown report format \"" + options.format + "\"");
  }
}

int runReport(const ReportOptions& options) {
  std::setlocale(LC_ALL, "");
  // Projects count idle time on the global timer; a report never lets it tick.
  ScopedTimerGlobal timer(std::make_unique<ManualTimer>());
  THMRProjectGroup group;
  group.SetHostTool(ftViewer, KernelVersion);

  const bool projectLevel =
      options.files.size() == 1 && !options.group && options.folders.empty();
  const Filter filter = parseFilter(options, projectLevel);

  // Each file is read under the name given. The same file named twice is one project; files
  // whose names differ only in letter case are different files, and so different projects.
  // A file named on the command line that does not read ends the report; one found below a
  // folder is named and left out, so one damaged file does not hide a whole checkout.
  // The files of each list are read and decoded on every processor first; then they are added
  // one by one in their order, as if read then, so that the first failure and every message
  // are those of reading them in turn.
  std::vector<FileIdentity> inputs;
  int status = 0;
  std::vector<DataFileRead> readAhead;
  const auto add = [&](const std::string& file, std::size_t index) {
    const std::optional<FileIdentity> identity = identityOf(file);
    if (identity && std::find(inputs.begin(), inputs.end(), *identity) != inputs.end()) return;
    group.AddDataFile(file, std::move(readAhead[index]));
    if (identity) inputs.push_back(*identity);
  };
  try {
    readAhead = readDataFilesAhead(options.files);
    for (std::size_t i = 0; i < options.files.size(); ++i) add(options.files[i], i);
    for (const std::string& folder : options.folders) {
      std::vector<std::string> problems;
      const std::vector<std::string> found = findDataFiles(folder, problems);
      readAhead = readDataFilesAhead(found);
      for (std::size_t i = 0; i < found.size(); ++i) {
        try {
          add(found[i], i);
        } catch (const HmrError& e) {
          problems.push_back(e.what());
        }
      }
      for (const std::string& problem : problems) std::cerr << problem << "\n";
      if (!problems.empty()) status = 1;
    }
  } catch (const HmrError& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  if (group.getProjectCount() == 0 && !options.folders.empty()) {
    std::cerr << "hmr report: no data file (.HMR, .hmr) that reads below the folders given\n";
    return 1;
  }
  if (!options.output.empty()) {
    const std::optional<FileIdentity> output = identityOf(options.output);
    if (output && std::find(inputs.begin(), inputs.end(), *output) != inputs.end()) {
      std::cerr << "hmr report: the output file " << options.output
                << " is one of the data files read; it is left as it is\n";
      return 2;
    }
  }

  ExportHeaderInputs header;
  header.ProjectSelected = projectLevel;
  header.GroupByText = filter.groupByText;
  header.SortByText = filter.sortByText;
  header.SortOrderText = filter.orderText;
  for (std::int32_t i = 0; i < group.getProjectCount(); ++i) {
    const THMRProject& project = *group.getProject(i);
    // Full paths, as the tracker dialog names its projects' files.
    header.Projects.push_back({project.GetHMRName(), absolutePath(project.FileName)});
  }
  const TQueryResult result =
      projectLevel ? group.getProject(0)->ExecuteQuery(
                         static_cast<TProjectGroupByMode>(filter.groupBy), filter.sortBy,
                         filter.order)
                   : group.ExecuteQuery(static_cast<TGroupGroupByMode>(filter.groupBy),
                                        filter.sortBy, filter.order);
  const TDispTimeUnit unit = lower(options.unit) == "min" ? dtuMinute : dtuHour;
  const GridCells cells(result, filter.groupByText, unit, !options.noUserColumn);

  try {
    if (!options.output.empty()) {
      ReportFile file(options.output);
      writeReport(options, result, header, cells, file.sink());
      file.close();
      return status;
    }
    writeReport(options, result, header, cells, [](std::string_view text) {
      if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
        throw HmrError(std::string("Error writing the report to standard output : ") +
                       std::strerror(errno != 0 ? errno : EIO));
      }
    });
    if (std::fflush(stdout) != 0) {
      throw HmrError(std::string("Error writing the report to standard output : ") +
                     std::strerror(errno != 0 ? errno : EIO));
    }
  } catch (const HmrError& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return status;
}

}  // namespace

void addReportCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<ReportOptions>();
  CLI::App* cmd = app.add_subcommand(
      "report",
      "Print the report that the tracker dialog exports for HMR data files: one file shows "
      "that project, several files (or --group, or --recursive) the project group in argument "
      "order, the files found below a folder sorted by path");
  cmd->add_option("FILE", options->files, "HMR data files");
  cmd->add_option("-r,--recursive", options->folders,
                  "every data file (.HMR, .hmr) below the folder DIR, at the group level; links "
                  "to folders are not followed; may be given more than once. A file found that "
                  "does not read is named on standard error and left out (exit status 1)")
      ->type_name("DIR")
      ->allow_extra_args(false);
  cmd->add_flag("--group", options->group, "show the group level even for one file");
  cmd->add_option("--group-by", options->groupBy,
                  "project level: session (default), username, day, week, month; "
                  "group level also project (default)");
  cmd->add_option("--sort-by", options->sortBy,
                  "the grouping's own key (its name, the default), total, idle or work");
  cmd->add_option("--order", options->order, "asc (default) or desc")
      ->transform(CLI::IsMember({"asc", "desc"}, CLI::ignore_case));
  cmd->add_option("--unit", options->unit, "time unit: hs (hours, default) or min")
      ->transform(CLI::IsMember({"hs", "min"}, CLI::ignore_case));
  cmd->add_flag("--no-user-column", options->noUserColumn,
                "leave out the user name column of session lists");
  cmd->add_option("--format", options->format,
                  "text (default), csv (semicolon-separated), clipboard, json, or svg: a "
                  "bar chart of work time with idle time stacked on it, one bar per line")
      ->transform(
          CLI::IsMember({"text", "csv", "clipboard", "json", "svg"}, CLI::ignore_case));
  cmd->add_option("-o,--output", options->output, "write to FILE instead of standard output");
  cmd->callback([options, &status] {
    if (options->files.empty() && options->folders.empty())
      throw CLI::RequiredError("FILE or --recursive DIR");
    status = runReport(*options);
  });
}

}  // namespace hmr::cli
