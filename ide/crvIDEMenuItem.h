// SPDX-License-Identifier: MIT
// A menu item that puts itself into the IDE's main menu when created and takes itself out
// again when destroyed.
#pragma once

#include <cstdint>
#include <string>

#include "ide/contract/Menus.h"

namespace hmr {

// The IDE's main menu, asked afresh at every call; null when the IDE offers none.
TMainMenu* IDEMainMenu();

// The first top-level item of the main menu (lowest index) whose component name equals Name
// ignoring letter case, or null.
TMenuItem* FindMainMenuItem(const std::string& Name);

class TIDEMenuItem : public TMenuItem {
 public:
  // Inserts the item at Index into the top-level item whose component name is ParentName, or,
  // with an empty ParentName, into the main menu's top level. Fails with "Cannot find menu
  // item, <name>" when no top-level item has that name, and with "No menu parent for <name>"
  // when the IDE has no main menu; the item is then in no menu.
  TIDEMenuItem(const std::string& ParentName, std::int32_t Index);
  ~TIDEMenuItem() override;

  TMenuItem* parentItem() const { return FParentItem; }
  bool topLevel() const { return FTopLevel; }

 private:
  TMenuItem* FParentItem = nullptr;
  bool FTopLevel = false;
};

}  // namespace hmr
