// SPDX-License-Identifier: MIT
// Running the git program for `hmr git-setup`: git itself reads and writes its configuration,
// so that its quoting rules and files are never imitated here.
#pragma once

#include <string>
#include <vector>

namespace hmr::cli {

struct GitRun {
  int status = -1;  // exit status; -1 when git did not end normally
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `git` (found on PATH) with `args`, standard input from /dev/null, and collects what it
// prints. Fails with HmrError when git cannot be started (not installed, not on PATH).
GitRun runGit(const std::vector<std::string>& args);

// `text` without the line break (and spaces) at its end, as git prints a single value.
std::string firstLine(const std::string& text);

// `word` quoted for the POSIX shell, which runs git's merge drivers and textconv commands:
// in single quotes, a single quote inside written as '\''.
std::string shellQuoted(const std::string& word);

}  // namespace hmr::cli
