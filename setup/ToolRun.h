// SPDX-License-Identifier: MIT
// The installers run the system's own tools (the freedesktop database tools, lazbuild, fpc,
// fpcmkcfg): the program is looked up in PATH, its input is /dev/null, and it runs in the
// installer's environment. Nothing here throws: a tool that cannot run is an answer.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace hmr {

// Runs `argv` with its output discarded. Returns "" when it ran and exited 0, else why not
// ("xdg-mime was not found", "lazbuild exited with status 2", ...).
std::string runTool(const std::vector<std::string>& argv);

// The same, with its standard output and standard error appended to the file `logFile`.
std::string runToolLogged(const std::vector<std::string>& argv, const std::string& logFile);

// What the tool printed on its standard output, when it ran and exited 0 (its standard error
// discarded); nothing otherwise.
std::optional<std::string> toolOutput(const std::vector<std::string>& argv);

// The full path of `program` as PATH finds it (a name with a "/" is taken as it is), all links
// resolved; "" when there is none that may be run.
std::string findProgram(const std::string& program);

}  // namespace hmr
