// SPDX-License-Identifier: MIT
// `hmr dump`: a data file as JSON, as the tracker reads it, or as lines of text (also for
// git's textconv).
#include <cstdio>
#include <iostream>
#include <string>

#include "core/HMRFileIO.h"
#include "core/uHMRGlobal.h"
#include "host/hmr/Commands.h"
#include "host/hmr/DataFileText.h"
#include "host/hmr/Json.h"
#include "platform/HmrError.h"

namespace hmr::cli {
namespace {

struct DumpOptions {
  std::string file;
  bool raw = false;
  bool text = false;
  // For git: text of every stored session; a file that does not read is a line saying so,
  // with status 0, since a failing textconv stops the whole `git log -p`.
  bool textconv = false;
};

// Output is flushed in pieces of about this size, so a file of a million sessions never
// needs its whole JSON text in memory.
constexpr std::size_t kFlushSize = 1 << 16;

void appendSession(std::string& out, const TSessionData& s) {
  // Date-times and numbers need no escaping: they go straight into the output.
  out.append("    {\"open\": \"");
  appendIsoDateTime(out, s.SessionDateTimeOpen);
  out.append("\", \"close\": \"");
  appendIsoDateTime(out, s.SessionDateTimeClose);
  out.append("\", \"not_closed\": ").append(s.SessionNotClosed ? "true" : "false");
  out.append(", \"idle\": ");
  appendJsonNumber(out, s.SessionIdleTime);
  out.append(", \"total\": ");
  appendJsonNumber(out, s.SessionTotalTime);
  out.append(", \"work\": ");
  appendJsonNumber(out, s.SessionWorkTime);
  out.append(", \"user\": ");
  appendJsonString(out, s.SessionUserName);
  out.append("}");
}

bool flush(std::string& out) {
  const bool ok = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
  out.clear();
  return ok;
}

bool finishOutput(std::string& out, bool ok) {
  ok = flush(out) && ok;
  if (std::fflush(stdout) != 0 || !ok) {
    std::cerr << "hmr dump: cannot write the output\n";
    return false;
  }
  return true;
}

int dumpJson(const DumpOptions& options, const HmrFileContents& contents) {
  std::string out = "{\n  \"file\": " + toJsonString(options.file);
  out += ",\n  \"version\": " + std::to_string(contents.version.value_or(0));
  out += ",\n  \"time_for_idle\": " + std::to_string(contents.timeForIdle.value_or(0));
  out += ",\n  \"minimum_work_time\": " + std::to_string(contents.minimumWorkTime.value_or(0));
  out += ",\n  \"project_name\": " + toJsonString(contents.projectName.value_or(""));
  out += ",\n  \"sessions\": [";
  bool ok = true;
  for (std::size_t i = 0; i < contents.sessions.size(); ++i) {
    out.append(i == 0 ? "\n" : ",\n");
    appendSession(out, contents.sessions[i]);
    if (out.size() >= kFlushSize) ok = flush(out) && ok;
  }
  out.append(contents.sessions.empty() ? "]\n}\n" : "\n  ]\n}\n");
  return finishOutput(out, ok) ? 0 : 1;
}

int dumpText(const HmrFileContents& contents) {
  std::string out = dataFileHeaderText(contents);
  const std::int64_t minimum = contents.minimumWorkTime.value_or(DefaultMinimumWorkTime);
  bool ok = true;
  for (const TSessionData& session : contents.sessions) {
    out += sessionText(session, minimum);
    if (out.size() >= kFlushSize) ok = flush(out) && ok;
  }
  return finishOutput(out, ok) ? 0 : 1;
}

int dump(const DumpOptions& options) {
  HmrFileContents contents;
  try {
    readHmrFile(options.file, contents);
  } catch (const HmrError& e) {
    if (!options.textconv) {
      std::cerr << e.what() << "\n";
      return 1;
    }
    std::string out = std::string("not a readable HMR data file: ") + e.what() + "\n";
    return finishOutput(out, true) ? 0 : 1;
  }
  if (!options.raw && !options.textconv) dropShortSessions(contents);
  return options.text || options.textconv ? dumpText(contents) : dumpJson(options, contents);
}

}  // namespace

void addDumpCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<DumpOptions>();
  CLI::App* cmd = app.add_subcommand(
      "dump",
      "Print a data file (.HMR) as JSON on standard output, as the tracker reads it: settings "
      "and idle, total and work times in seconds, date-times in local time. Sessions with less "
      "work than the file's minimum work time are left out, as the tracker drops them, unless "
      "--raw is given. A file that cannot be read gives the read error on standard error and "
      "exit status 1.");
  cmd->add_flag("--raw", options->raw, "show every stored session, short ones included");
  cmd->add_flag("--text", options->text,
                "print lines of text instead of JSON: a header line for the version and project "
                "name, one for the settings, then one line per session (docs/team.md)");
  cmd->add_flag("--textconv", options->textconv,
                "git's text view of a data file: --text --raw, and a file that does not read "
                "prints a line saying why, with exit status 0, so that git diff and git log go "
                "on");
  cmd->add_option("FILE", options->file, "the data file")->required();
  cmd->callback([&status, options] { status = dump(*options); });
}

}  // namespace hmr::cli
