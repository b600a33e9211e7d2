// SPDX-License-Identifier: MIT
#include "idehosting/IdeServices.h"

#include <algorithm>

#include "idehosting/IdeHost.h"
#include "idehosting/IdeModule.h"

namespace hmr {

// ---- IdeServices ----------------------------------------------------------------------------

bool IdeServices::QueryInterface(const TGUID& iid, void** object) {
  *object = nullptr;
  if (iid == IID_IInterface) {
    *object = static_cast<IBorlandIDEServices*>(this);
  } else if (iid == IID_IOTAModuleServices) {
    *object = static_cast<IOTAModuleServices*>(this);
  } else if (iid == IID_INTAServices) {
    *object = static_cast<INTAServices*>(this);
  } else {
    return false;
  }
  AddRef();
  return true;
}

std::int32_t IdeServices::GetModuleCount() {
  return static_cast<std::int32_t>(host_.modules().size());
}

ComPtr<IOTAModule> IdeServices::GetModule(std::int32_t Index) {
  if (Index < 0 || Index >= GetModuleCount()) return {};
  return ComPtr<IOTAModule>(host_.modules()[static_cast<std::size_t>(Index)]->asModule());
}

ComPtr<IOTAModule> IdeServices::FindModule(const std::string& FileName) {
  IdeModule* module = host_.findModule(FileName);
  return module ? ComPtr<IOTAModule>(module->asModule()) : ComPtr<IOTAModule>();
}

ComPtr<IOTAModule> IdeServices::CurrentModule() {
  IdeModule* module = host_.currentModule();
  return module ? ComPtr<IOTAModule>(module->asModule()) : ComPtr<IOTAModule>();
}

TMainMenu* IdeServices::GetMainMenu() { return &host_.mainMenu(); }

// ---- IdeToolServices ------------------------------------------------------------------------

bool IdeToolServices::AddNotifier(TIAddInNotifier* AddInNotifier) {
  if (!AddInNotifier || !host_.acceptsAddInNotifiers()) return false;
  notifiers_.push_back(AddInNotifier);
  return true;
}

bool IdeToolServices::RemoveNotifier(TIAddInNotifier* AddInNotifier) {
  const auto found = std::find(notifiers_.begin(), notifiers_.end(), AddInNotifier);
  if (found == notifiers_.end()) return false;
  notifiers_.erase(found);
  return true;
}

TIModuleInterface* IdeToolServices::GetModuleInterface(const std::string& FileName) {
  IdeModule* module = host_.findModule(FileName);
  return module ? module->moduleInterface() : nullptr;
}

void IdeToolServices::broadcast(TFileNotification code, const std::string& fileName) {
  const std::vector<TIAddInNotifier*> registered = notifiers_;
  for (TIAddInNotifier* notifier : registered) {
    if (std::find(notifiers_.begin(), notifiers_.end(), notifier) == notifiers_.end()) continue;
    bool cancel = false;
    notifier->FileNotification(code, fileName, cancel);
  }
}

}  // namespace hmr
