// SPDX-License-Identifier: MIT
// hmr: look into HMR data files and settings from the command line.
#include <exception>
#include <iostream>

#include "host/hmr/Commands.h"
#include "platform/StandardOutput.h"

int main(int argc, char** argv) {
  CLI::App app{"hmr: inspect, report and merge HMR time-tracking data files; settings"};
  app.require_subcommand(1);
  int status = 0;
  hmr::cli::addRegistryCommand(app, status);
  hmr::cli::addDumpCommand(app, status);
  hmr::cli::addCheckCommand(app, status);
  hmr::cli::addReportCommand(app, status);
  hmr::cli::addMergeCommand(app, status);
  hmr::cli::addGitSetupCommand(app, status);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    status = app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    status = app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    status = 2;
  } catch (const std::exception& e) {
    std::cerr << "hmr: " << e.what() << "\n";
    status = 1;
  }
  // Every command's output counts: a listing or a help text that could not be written is a
  // failure.
  if (!hmr::standardOutputWritten("hmr") && status == 0) return 1;
  return status;
}
