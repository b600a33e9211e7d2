// SPDX-License-Identifier: MIT
#include "setup/InstallerOutput.h"

#include <ostream>

namespace hmr {

void ConsoleInstallerOutput::showMessage(std::string_view title, std::string_view text) {
  out_ << title << '\n' << text << '\n' << std::flush;
}

void ConsoleInstallerOutput::reportProblem(std::string_view text) {
  err_ << program_ << ": " << text << '\n' << std::flush;
}

}  // namespace hmr
