// SPDX-License-Identifier: MIT
// Writes made-up work histories for the measurements by hand (bench/compare-timewarrior.sh,
// the team report): one history of N sessions as a data file and, when asked, the same
// sessions as a Timewarrior database; or a team's checkout of many data files.
//
//   make_history --sessions N --hmr FILE [--timew DIR] [--seed S]
//   make_history --team DIR --files F --sessions N [--seed S]
//
// Sessions follow each other without overlapping (Timewarrior refuses overlaps) a minute to
// twenty minutes apart, last ten to forty minutes with up to half of it idle (100,000 of them
// span about seven years), and belong to one of four users.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "core/HMRFileFormat.h"
#include "core/uHMRGlobal.h"
#include "core/uHMRProject.h"
#include "platform/LinuxFileWriter.h"

namespace {

using namespace hmr;

constexpr const char* kUsers[] = {"ann", "bob", "carla", "dmitri"};

std::vector<TSessionData> makeSessions(int count, std::mt19937_64& random) {
  std::vector<TSessionData> sessions;
  sessions.reserve(static_cast<std::size_t>(count));
  std::int64_t open = static_cast<std::int64_t>(encodeDate(2015, 1, 5)) * 86400 + 8 * 3600;
  for (int i = 0; i < count; ++i) {
    const std::int64_t total = 600 + static_cast<std::int64_t>(random() % 1800);
    TSessionData s;
    s.SessionDateTimeOpen = static_cast<double>(open) / 86400.0;
    s.SessionDateTimeClose = static_cast<double>(open + total) / 86400.0;
    s.SessionIdleTime =
        static_cast<std::int64_t>(random() % static_cast<unsigned>(total / 2 + 1));
    s.SessionUserName = kUsers[random() % 4];
    s.UpdateCalculatedFields();
    sessions.push_back(std::move(s));
    open += total + 60 + static_cast<std::int64_t>(random() % 1200);
  }
  return sessions;
}

void writeDataFile(const std::string& path, const std::string& project,
                   const std::vector<TSessionData>& sessions) {
  LinuxFileWriter(false).replaceContents(
      path, encodeHmrFile(DefaultTimeForIdle, DefaultMinimumWorkTime, project, sessions));
}

// Timewarrior's stamp of a date-time, taken as UTC: 20150105T080000Z.
std::string timewStamp(TDateTime dt) {
  const DateTimeParts p = decodeDateTime(dt);
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02dZ", p.year, p.month, p.day, p.hour,
                p.minute, p.second);
  return text;
}

// The same sessions as Timewarrior's database: data/YYYY-MM.data files of "inc" lines tagged
// with the user and the project, an empty configuration, and the tags' index.
void writeTimewarrior(const std::string& folder, const std::string& project,
                      const std::vector<TSessionData>& sessions) {
  namespace fs = std::filesystem;
  fs::create_directories(folder + "/data");
  std::ofstream(folder + "/timewarrior.cfg") << "verbose = off\n";
  std::string month;
  std::ofstream out;
  for (const auto& s : sessions) {
    const std::string start = timewStamp(s.SessionDateTimeOpen);
    if (start.substr(0, 6) != month) {
      month = start.substr(0, 6);
      out = std::ofstream(folder + "/data/" + month.substr(0, 4) + "-" + month.substr(4) +
                          ".data");
    }
    out << "inc " << start << " - " << timewStamp(s.SessionDateTimeClose) << " # "
        << s.SessionUserName << " " << project << "\n";
  }
  std::ofstream tags(folder + "/data/tags.data");
  tags << "{";
  for (const char* user : kUsers) tags << "\"" << user << "\":{\"count\":1},";
  tags << "\"" << project << "\":{\"count\":" << sessions.size() << "}}\n";
}

int usage() {
  std::cerr << "usage: make_history --sessions N --hmr FILE [--timew DIR] [--seed S]\n"
               "       make_history --team DIR --files F --sessions N [--seed S]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string hmrFile, timewFolder, teamFolder;
  long sessions = 0, files = 0;
  unsigned long long seed = 20261208;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    const std::string value = argv[i + 1];
    if (option == "--sessions") sessions = std::atol(value.c_str());
    else if (option == "--hmr") hmrFile = value;
    else if (option == "--timew") timewFolder = value;
    else if (option == "--team") teamFolder = value;
    else if (option == "--files") files = std::atol(value.c_str());
    else if (option == "--seed") seed = std::strtoull(value.c_str(), nullptr, 10);
    else return usage();
  }
  if (argc % 2 == 0 || sessions <= 0 || (hmrFile.empty() == teamFolder.empty())) return usage();
  std::mt19937_64 random(seed);
  try {
    if (!teamFolder.empty()) {
      if (files <= 0) return usage();
      // A checkout of `files` projects, ten to a folder, as a lead would report over.
      for (long f = 0; f < files; ++f) {
        const std::string folder = teamFolder + "/area" + std::to_string(f / 10) + "/project" +
                                   std::to_string(f);
        std::filesystem::create_directories(folder);
        const std::string name = "Project" + std::to_string(f);
        writeDataFile(folder + "/" + name + ".HMR", name,
                      makeSessions(static_cast<int>(sessions), random));
      }
      return 0;
    }
    const auto history = makeSessions(static_cast<int>(sessions), random);
    writeDataFile(hmrFile, "Invoicing", history);
    if (!timewFolder.empty()) writeTimewarrior(timewFolder, "Invoicing", history);
  } catch (const std::exception& e) {
    std::cerr << "make_history: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
