// SPDX-License-Identifier: MIT
// The subcommands of `hmr`, one file each. Every add*Command registers its subcommand on the
// application; when that subcommand runs, its callback stores the exit status in `status`
// (0 success, 1 a file or store that cannot be read or written; usage errors are 2 and are
// handled by main).
#pragma once

#include <CLI/CLI.hpp>

namespace hmr::cli {

// `hmr registry list|get|set|delete`: the settings store (CmdRegistry.cpp).
void addRegistryCommand(CLI::App& app, int& status);
// `hmr dump [--raw] [--text|--textconv] FILE`: a data file as JSON or text (CmdDump.cpp).
void addDumpCommand(CLI::App& app, int& status);
// `hmr check FILE...`: whether data files read (CmdCheck.cpp).
void addCheckCommand(CLI::App& app, int& status);

// `hmr report`: the tracker dialog's report of data files (CmdReport.cpp).
void addReportCommand(CLI::App& app, int& status);

// `hmr merge BASE OURS THEIRS`: the three-way merge of data files, git's merge driver
// (CmdMerge.cpp).
void addMergeCommand(CLI::App& app, int& status);
// `hmr git-setup [--global] [--check] [DIR]`: git's attributes and config for data files
// (CmdGitSetup.cpp).
void addGitSetupCommand(CLI::App& app, int& status);

}  // namespace hmr::cli
