// SPDX-License-Identifier: MIT
// libFuzzer target: the options of `hmr report` on arbitrary words (one per line of the
// input), over a small data file. Every parse must end in a report or a clean refusal.
//
// The report goes to /dev/null and the messages nowhere. Words that could name an output file
// (-o, --output, short options run together) are dropped, so an input never writes a file;
// other words may name data files, which are only read.
#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <streambuf>
#include <string>
#include <system_error>
#include <vector>

#include "core/HMRFileIO.h"
#include "core/uHMRGlobal.h"
#include "host/hmr/Commands.h"

namespace {

class NullBuffer final : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

char folder[] = "/tmp/hmr-fuzz-report-XXXXXX";

void removeFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

// A folder of our own holding one data file with two sessions, removed when the fuzzer ends.
std::string prepareDataFile() {
  if (!mkdtemp(folder)) std::abort();
  std::atexit(removeFolder);
  std::vector<hmr::TSessionData> sessions;
  for (int day = 0; day < 2; ++day) {
    hmr::TSessionData s;
    s.SessionDateTimeOpen = hmr::encodeDateTime(2026, 12, 7 + day, 9, 0, 0);
    s.SessionDateTimeClose = s.SessionDateTimeOpen + 0.1;
    s.SessionIdleTime = 600;
    s.SessionUserName = day == 0 ? "ann" : "b;o\"b";
    s.UpdateCalculatedFields();
    sessions.push_back(std::move(s));
  }
  const std::string path = std::string(folder) + "/A.HMR";
  hmr::writeHmrFile(path, 300, 60, "Alpha", sessions);
  return path;
}

bool mayNameAnOutput(const std::string& word) {
  if (word.starts_with("--")) return word.starts_with("--o");
  return word.starts_with("-");  // -o, -oFILE, or -ho run together
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static NullBuffer nothing;
  static const std::string dataFile = [] {
    const int null = open("/dev/null", O_WRONLY);
    if (null < 0 || dup2(null, 1) < 0) std::abort();
    close(null);
    std::cout.rdbuf(&nothing);
    std::cerr.rdbuf(&nothing);
    return prepareDataFile();
  }();

  std::vector<std::string> words = {"hmr", "report"};
  std::string word;
  for (std::size_t i = 0; i <= size; ++i) {
    if (i == size || data[i] == '\n') {
      if (!mayNameAnOutput(word)) words.push_back(word);
      word.clear();
    } else {
      word += static_cast<char>(data[i]);
    }
  }
  words.push_back(dataFile);

  CLI::App app{"hmr"};
  int status = 0;
  hmr::cli::addReportCommand(app, status);
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::Error&) {
    // a usage error or a call for help: a clean refusal
  }
  return 0;
}
