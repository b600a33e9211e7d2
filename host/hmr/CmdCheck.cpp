// SPDX-License-Identifier: MIT
// `hmr check`: whether data files read as the tracker reads them.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "core/HMRFileIO.h"
#include "host/hmr/Commands.h"
#include "platform/HmrError.h"

namespace hmr::cli {
namespace {

int check(const std::vector<std::string>& files) {
  int status = 0;
  for (const std::string& file : files) {
    HmrFileContents contents;
    try {
      readHmrFile(file, contents);
    } catch (const HmrError& e) {
      std::cerr << e.what() << "\n";
      status = 1;
      continue;
    }
    dropShortSessions(contents);
    std::cout << file << ": ok, " << contents.sessions.size() << " sessions\n";
  }
  std::cout.flush();
  return status;
}

}  // namespace

void addCheckCommand(CLI::App& app, int& status) {
  auto files = std::make_shared<std::vector<std::string>>();
  CLI::App* cmd = app.add_subcommand(
      "check",
      "Read each data file (.HMR) as the tracker does. Prints \"FILE: ok, N sessions\" on "
      "standard output for a file that reads (N: the sessions the tracker keeps) and the read "
      "error on standard error for one that does not. Exit status 0 only when every file "
      "reads, else 1.");
  cmd->add_option("FILE", *files, "data files")->required();
  cmd->callback([&status, files] { status = check(*files); });
}

}  // namespace hmr::cli
