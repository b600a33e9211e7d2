// SPDX-License-Identifier: MIT
#include "host/ide/IdeScript.h"

#include <charconv>
#include <istream>

#include "core/uHMRGlobal.h"
#include "host/ide/StandInIde.h"

namespace hmr {
namespace {

void expectArguments(const std::vector<std::string>& words, std::size_t least, std::size_t most,
                     const char* usage) {
  const std::size_t given = words.size() - 1;
  if (given < least || given > most) throw ScriptError(std::string("usage: ") + usage);
}

std::int64_t parseSeconds(const std::string& text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0)
    throw ScriptError("not a number of seconds: " + text);
  return value;
}

void runLine(StandInIde& ide, const std::vector<std::string>& words, bool& quit) {
  const std::string& command = words[0];
  if (command == "clock") {
    expectArguments(words, 1, 1, "clock YYYY-MM-DDTHH:MM:SS");
    TDateTime when = 0;
    if (!parseIsoDateTime(words[1], when)) throw ScriptError("not a date and time: " + words[1]);
    ide.setClock(when);
  } else if (command == "advance") {
    expectArguments(words, 1, 1, "advance SECONDS");
    ide.advance(parseSeconds(words[1]));
  } else if (command == "open-project") {
    expectArguments(words, 1, 1, "open-project PATH");
    ide.openProject(words[1]);
  } else if (command == "open-file") {
    expectArguments(words, 1, words.size(), "open-file PATH [OWNER...]");
    ide.openFile(words[1], std::vector<std::string>(words.begin() + 2, words.end()));
  } else if (command == "activate") {
    expectArguments(words, 1, 1, "activate PATH");
    ide.activate(words[1]);
  } else if (command == "edit") {
    expectArguments(words, 1, 1, "edit PATH");
    ide.edit(words[1]);
  } else if (command == "edit-form") {
    expectArguments(words, 1, 1, "edit-form PATH");
    ide.editForm(words[1]);
  } else if (command == "rename") {
    expectArguments(words, 2, 2, "rename PATH NEWPATH");
    ide.rename(words[1], words[2]);
  } else if (command == "close-file") {
    expectArguments(words, 1, 1, "close-file PATH");
    ide.closeFile(words[1]);
  } else if (command == "close-project") {
    expectArguments(words, 1, 1, "close-project PATH");
    ide.closeProject(words[1]);
  } else if (command == "install-package") {
    expectArguments(words, 1, 1, "install-package PATH");
    ide.installPackage(words[1]);
  } else if (command == "menu") {
    expectArguments(words, 1, 1, "menu CAPTION");
    ide.clickViewMenu(words[1]);
  } else if (command == "shift-clock") {
    expectArguments(words, 1, 1, "shift-clock [-]SECONDS");
    const bool back = words[1].starts_with("-");
    const std::int64_t seconds = parseSeconds(back ? words[1].substr(1) : words[1]);
    ide.shiftClock(back ? -seconds : seconds);
  } else if (command == "crash") {
    expectArguments(words, 0, 0, "crash");
    ide.crash();
  } else if (command == "quit") {
    expectArguments(words, 0, 0, "quit");
    quit = true;
  } else {
    throw ScriptError("unknown command " + command);
  }
}

}  // namespace

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
