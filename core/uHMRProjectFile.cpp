// SPDX-License-Identifier: MIT
// The project's data file. Until the reader and writer exist, a project starts without
// history and nothing is written.
#include "core/uHMRProject.h"

namespace hmr {

std::string THMRProject::UnhandledPath() const { return "XXXXXXX"; }

bool THMRProject::LoadFile() {
  InitParams();
  return true;
}

void THMRProject::OpenFile(const std::string&) { ClearSessions(); }

void THMRProject::SaveFile(const std::string&) {}

}  // namespace hmr
