// SPDX-License-Identifier: MIT
// `hmr merge BASE OURS THEIRS`: the three-way merge of data files, written to be git's merge
// driver (`hmr merge %O %A %B --path %P`, set up by `hmr git-setup`).
#include <iostream>
#include <memory>
#include <string>

#include "core/DataFileMerge.h"
#include "core/HMRFileIO.h"
#include "host/hmr/Commands.h"
#include "platform/HmrError.h"

namespace hmr::cli {
namespace {

struct MergeOptions {
  std::string base, ours, theirs;
  std::string path;  // the name the result is stored under, for messages
};

int merge(const MergeOptions& options) {
  const std::string prefix = "hmr merge: " + (options.path.empty() ? "" : options.path + ": ");
  try {
    for (const std::string& note : mergeDataFiles(options.base, options.ours, options.theirs))
      std::cerr << prefix << note << "\n";
  } catch (const HmrSaveNotConfirmed& e) {
    // The merged file is in place; only its arrival on the disk is not confirmed.
    std::cerr << prefix << e.what() << "\n";
  } catch (const HmrError& e) {
    std::cerr << prefix << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

void addMergeCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<MergeOptions>();
  CLI::App* cmd = app.add_subcommand(
      "merge",
      "Three-way merge of data files (.HMR), as git's merge driver: BASE is the common history "
      "(an empty file: none), OURS and THEIRS the two sides. The result replaces OURS "
      "atomically: every session added on either side, sessions one side removed left out, a "
      "session changed on both sides kept once (closed over not closed, then the longer); a "
      "setting changed on one side takes that change, changed differently on both sides OURS's "
      "value. What was overridden or left out is said on standard error. Exit status 0 when "
      "merged; 1, with OURS untouched, when a side is not a readable data file or the result "
      "cannot be written (git then reports a conflict). Rules: docs/team.md.");
  cmd->add_option("BASE", options->base, "the common history (%O)")->required();
  cmd->add_option("OURS", options->ours, "our side, replaced by the result (%A)")->required();
  cmd->add_option("THEIRS", options->theirs, "their side (%B)")->required();
  cmd->add_option("--path", options->path,
                  "the name the result is stored under (%P), used in messages");
  cmd->callback([&status, options] { status = merge(*options); });
}

}  // namespace hmr::cli
