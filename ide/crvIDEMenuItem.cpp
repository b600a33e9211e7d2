// SPDX-License-Identifier: MIT
#include "ide/crvIDEMenuItem.h"

#include "core/PathText.h"
#include "core/uHMRMessages.h"
#include "ide/PackageHost.h"
#include "ide/uHMWizardMessages.h"
#include "platform/HmrError.h"

namespace hmr {

TMainMenu* IDEMainMenu() {
  const ComPtr<INTAServices> services =
      Supports<INTAServices>(BorlandIDEServices(), IID_INTAServices);
  return services ? services->GetMainMenu() : nullptr;
}

TMenuItem* FindMainMenuItem(const std::string& Name) {
  TMainMenu* menu = IDEMainMenu();
  if (!menu) return nullptr;
  TMenuItem& top = menu->Items();
  for (std::int32_t i = 0; i < top.Count(); ++i)
    if (sameText(top.Items(i)->Name, Name)) return top.Items(i);
  return nullptr;
}

TIDEMenuItem::TIDEMenuItem(const std::string& ParentName, std::int32_t Index) {
  if (!ParentName.empty()) {
    FTopLevel = false;
    FParentItem = FindMainMenuItem(ParentName);
    if (!FParentItem) throw HmrError(formatMessage(CannotFindMenuItem, {ParentName}));
    try {
      FParentItem->Insert(Index, this);
    } catch (...) {
      FParentItem = nullptr;
      throw;
    }
  } else {
    TMainMenu* menu = IDEMainMenu();
    if (!menu) throw HmrError(formatMessage(NoMenuParent, {"the main menu"}));
    menu->Items().Insert(Index, this);
    FTopLevel = true;
  }
}

TIDEMenuItem::~TIDEMenuItem() {
  if (FParentItem) {
    const std::int32_t index = FParentItem->IndexOf(this);
    if (index >= 0) FParentItem->Delete(index);
    FParentItem = nullptr;
  } else if (FTopLevel) {
    // The main menu is asked for again: the IDE may have rebuilt it meanwhile.
    if (TMainMenu* menu = IDEMainMenu()) menu->Items().Remove(this);
  }
}

}  // namespace hmr
