// SPDX-License-Identifier: MIT
// The script language of the stand-in IDE: one user action per line.
//
//   clock YYYY-MM-DDTHH:MM:SS     set the virtual local time (before the first advance)
//   advance SECONDS               let time pass; the IDE's timers fire at their marks
//   open-project PATH             open a project; it becomes the active project
//   open-file PATH [OWNER...]     open a unit owned by those (open) projects
//   activate PATH                 make the file the current module (a project: the active one)
//   edit PATH | edit-form PATH    change the file's text or form
//   rename PATH NEWPATH           save the file under a new name
//   close-file PATH | close-project PATH
//   install-package PATH          install a package (loading it when not loaded)
//   menu CAPTION                  choose the View-menu entry with that caption
//   shift-clock [-]SECONDS        set the clock forward or back without time passing
//   crash                         end the process at once, as kill -9 would
//   signal FILE                   make FILE (empty), for another process waiting for it
//   wait-for FILE                 wait until FILE exists (at most 60 s, then a script error)
//   quit                          end the script
//
// Words are separated by blanks; a word in double quotes may hold blanks. Blank lines and
// lines starting with "#" are skipped.
#pragma once

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

namespace hmr {

class StandInIde;

class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Splits a script line into words. Fails on an unterminated quote.
std::vector<std::string> splitScriptLine(const std::string& line);

// Every command's usage ("advance SECONDS"), in the order of the list above, joined by " | ":
// what hmr-ide --help lists.
std::string scriptCommandsHelp();

// Runs the script on `ide` line by line. A line that cannot run stops the script with a
// ScriptError whose message names the line ("line 3: ...").
void runIdeScript(StandInIde& ide, std::istream& script);

}  // namespace hmr
