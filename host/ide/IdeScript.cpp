// SPDX-License-Identifier: MIT
#include "host/ide/IdeScript.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <istream>
#include <limits>
#include <string_view>
#include <thread>

#include "core/uHMRGlobal.h"
#include "host/ide/StandInIde.h"
#include "platform/FileRead.h"

namespace hmr {
namespace {

std::int64_t parseSeconds(const std::string& text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0)
    throw ScriptError("not a number of seconds: " + text);
  return value;
}

using Words = std::vector<std::string>;

// Two processes played in step (tests of two IDEs on one project): one makes a file when it is
// done with a step, the other waits for it before its next one.
constexpr auto kLongestWait = std::chrono::seconds(60);

void signalFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) throw ScriptError("cannot make " + path + ": " + std::strerror(errno));
  ::close(fd);
}

void waitForFile(const std::string& path) {
  const auto deadline = std::chrono::steady_clock::now() + kLongestWait;
  while (!pathExists(path)) {
    if (std::chrono::steady_clock::now() >= deadline)
      throw ScriptError("waited " + std::to_string(kLongestWait.count()) + " s for " + path);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// One command of the language: its name, its usage, how many arguments it takes and what it
// does. The table below is the language: the reader, the usage errors and --help read it.
struct ScriptCommand {
  std::string_view name;
  std::string_view usage;
  std::size_t least;
  std::size_t most;
  void (*run)(StandInIde& ide, const Words& words, bool& quit);
};

constexpr std::size_t kAny = std::numeric_limits<std::size_t>::max();

constexpr ScriptCommand kCommands[] = {
    {"clock", "clock YYYY-MM-DDTHH:MM:SS", 1, 1,
     [](StandInIde& ide, const Words& words, bool&) {
       TDateTime when = 0;
       if (!parseIsoDateTime(words[1], when))
         throw ScriptError("not a date and time: " + words[1]);
       ide.setClock(when);
     }},
    {"advance", "advance SECONDS", 1, 1,
     [](StandInIde& ide, const Words& words, bool&) { ide.advance(parseSeconds(words[1])); }},
    {"open-project", "open-project PATH", 1, 1,
     [](StandInIde& ide, const Words& words, bool&) { ide.openProject(words[1]); }},
    {"open-file", "open-file PATH [OWNER...]", 1, kAny,
     [](StandInIde& ide, const Words& words, bool&) {
       ide.openFile(words[1], Words(words.begin() + 2, words.end()));
     }},
    {"activate", "activate PATH", 1, 1,
     [](StandInIde& ide, const Words& words, bool&) { ide.activate(words[1]); }},
    {"edit", "edit PATH", 1, 1,
     [](StandInIde& ide, const Words& words, bool&) { ide.edit(words[1]); }},
    {"edit-form", "edit-form PATH", 1, 1,
     [](StandInIde& ide, const Words& words, bool&) { ide.editForm(words[1]); }},
    {"rename", "rename PATH NEWPATH", 2, 2,
     [](StandInIde& ide, const Words& words, bool&) { ide.rename(words[1], words[2]); }},
    {"close-file", "close-file PATH", 1, 1,
     [](StandInIde& ide, const Words& words, bool&) { ide.closeFile(words[1]); }},
    {"close-project", "close-project PATH", 1, 1,
     [](StandInIde& ide, const Words& words, bool&) { ide.closeProject(words[1]); }},
    {"install-package", "install-package PATH", 1, 1,
     [](StandInIde& ide, const Words& words, bool&) { ide.installPackage(words[1]); }},
    {"menu", "menu CAPTION", 1, 1,
     [](StandInIde& ide, const Words& words, bool&) { ide.clickViewMenu(words[1]); }},
    {"shift-clock", "shift-clock [-]SECONDS", 1, 1,
     [](StandInIde& ide, const Words& words, bool&) {
       const bool back = words[1].starts_with("-");
       const std::int64_t seconds = parseSeconds(back ? words[1].substr(1) : words[1]);
       ide.shiftClock(back ? -seconds : seconds);
     }},
    {"crash", "crash", 0, 0, [](StandInIde& ide, const Words&, bool&) { ide.crash(); }},
    {"signal", "signal FILE", 1, 1,
     [](StandInIde&, const Words& words, bool&) { signalFile(words[1]); }},
    {"wait-for", "wait-for FILE", 1, 1,
     [](StandInIde&, const Words& words, bool&) { waitForFile(words[1]); }},
    {"quit", "quit", 0, 0, [](StandInIde&, const Words&, bool& quit) { quit = true; }},
};

void runLine(StandInIde& ide, const Words& words, bool& quit) {
  for (const ScriptCommand& command : kCommands) {
    if (words[0] != command.name) continue;
    const std::size_t given = words.size() - 1;
    if (given < command.least || given > command.most)
      throw ScriptError("usage: " + std::string(command.usage));
    command.run(ide, words, quit);
    return;
  }
  throw ScriptError("unknown command " + words[0]);
}

}  // namespace

std::string scriptCommandsHelp() {
  std::string help;
  for (const ScriptCommand& command : kCommands) {
    if (!help.empty()) help += " | ";
    help += command.usage;
  }
  return help;
}

std::vector<std::string> splitScriptLine(const std::string& line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
      continue;
    }
    std::string word;
    if (line[i] == '"') {
      const std::size_t close = line.find('"', i + 1);
      if (close == std::string::npos) throw ScriptError("unterminated quote");
      word = line.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
        word += line[i++];
    }
    words.push_back(std::move(word));
  }
  return words;
}

void runIdeScript(StandInIde& ide, std::istream& script) {
  std::string line;
  int number = 0;
  bool quit = false;
  while (!quit && std::getline(script, line)) {
    ++number;
    try {
      const std::vector<std::string> words = splitScriptLine(line);
      if (words.empty() || words[0].starts_with("#")) continue;
      runLine(ide, words, quit);
    } catch (const std::exception& e) {
      throw ScriptError("line " + std::to_string(number) + ": " + e.what());
    }
  }
}

}  // namespace hmr
