// SPDX-License-Identifier: MIT
// What makes one IDE differ from another on the common host, as its persona says it: its name,
// the identity its projects answer, the project group it opens with the first project, and its
// main menu. Everything else (services, modules, packages, timers) is the host's, the same for
// every IDE.
#pragma once

#include <string>
#include <vector>

#include "ide/contract/ToolsAPI.h"

namespace hmr {

// A menu item as the IDE builds it: its component name, its caption, the entries under it.
struct MenuEntryDescription {
  std::string name;
  std::string caption;
  std::vector<MenuEntryDescription> entries;
};

struct IdeDescription {
  // How the IDE names itself ("Delphi 5", "Lazarus").
  std::string name;
  // The project interface identity the IDE's projects answer: the one of its version.
  TGUID projectInterface;
  // The file name of the project group module that comes with the first project.
  std::string projectGroupFileName;
  // The main menu's top-level items, left to right, with their entries.
  std::vector<MenuEntryDescription> mainMenu;
};

}  // namespace hmr
