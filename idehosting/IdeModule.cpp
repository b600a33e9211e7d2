// SPDX-License-Identifier: MIT
#include "idehosting/IdeModule.h"

#include <algorithm>

#include "idehosting/IdeHost.h"

namespace hmr {

// ---- IdeModuleInterface ----------------------------------------------------------------

bool IdeModuleInterface::AddNotifier(TIModuleNotifier* Notifier) {
  if (!module_ || !Notifier) return false;
  notifiers_.push_back(Notifier);
  return true;
}

bool IdeModuleInterface::RemoveNotifier(TIModuleNotifier* Notifier) {
  const auto found = std::find(notifiers_.begin(), notifiers_.end(), Notifier);
  if (found == notifiers_.end()) return false;
  notifiers_.erase(found);
  return true;
}

void IdeModuleInterface::notifyAll(TNotifyCode code) {
  const std::vector<TIModuleNotifier*> attached = notifiers_;
  for (TIModuleNotifier* notifier : attached) {
    // One notifier may detach another while handling its notice.
    if (std::find(notifiers_.begin(), notifiers_.end(), notifier) == notifiers_.end()) continue;
    notifier->Notify(code);
  }
}

void IdeModuleInterface::detachModule() {
  module_ = nullptr;
  notifiers_.clear();
}

// ---- IdeModule -------------------------------------------------------------------------

IdeModule::IdeModule(IdeHost& ide, Kind kind, std::string fileName)
    : ide_(ide), kind_(kind), fileName_(std::move(fileName)) {}

bool IdeModule::QueryInterface(const TGUID& iid, void** object) {
  *object = nullptr;
  if (iid == IID_IInterface || iid == IID_IOTAModule) {
    *object = asModule();
  } else if (iid == IID_IOTAProjectGroup && kind_ == Kind::ProjectGroup) {
    *object = static_cast<IOTAProjectGroup*>(this);
  } else if (iid == ide_.projectInterfaceId() && kind_ == Kind::Project) {
    *object = static_cast<IOTAProject*>(this);
  } else {
    return false;
  }
  AddRef();
  return true;
}

ComPtr<IOTAProject> IdeModule::GetOwner(std::int32_t Index) {
  if (Index < 0 || Index >= GetOwnerCount()) return {};
  return ComPtr<IOTAProject>(
      static_cast<IOTAProject*>(owners_[static_cast<std::size_t>(Index)].get()));
}

std::int32_t IdeModule::AddNotifier(IOTAModuleNotifier* notifier) {
  if (!notifier || closed_ || refuseNotifiers) return -1;
  const std::int32_t index = nextIndex_++;
  notifiers_.emplace_back(index, ComPtr<IOTAModuleNotifier>(notifier));
  return index;
}

void IdeModule::RemoveNotifier(std::int32_t Index) {
  for (auto it = notifiers_.begin(); it != notifiers_.end(); ++it) {
    if (it->first == Index) {
      // Out of the list before the reference goes: the release may run the notifier's
      // destruction, which may call back here.
      const ComPtr<IOTAModuleNotifier> released = std::move(it->second);
      notifiers_.erase(it);
      return;
    }
  }
}

ComPtr<IOTAProject> IdeModule::GetActiveProject() {
  if (kind_ != Kind::ProjectGroup) return {};
  IdeModule* active = ide_.activeProject();
  return active ? ComPtr<IOTAProject>(static_cast<IOTAProject*>(active)) : ComPtr<IOTAProject>();
}

void IdeModule::removeOwner(const IdeModule* owner) {
  std::erase_if(owners_, [owner](const ComPtr<IdeModule>& o) { return o.get() == owner; });
}

TIModuleInterface* IdeModule::moduleInterface() {
  if (closed_) return nullptr;
  if (!interface_) interface_ = ComPtr<IdeModuleInterface>::adopt(new IdeModuleInterface(this));
  interface_->AddRef();
  return interface_.get();
}

void IdeModule::notifyOldStyle(TNotifyCode code) {
  if (interface_) {
    const ComPtr<IdeModuleInterface> keep = interface_;
    keep->notifyAll(code);
  }
}

void IdeModule::rename(const std::string& newName) {
  fileName_ = newName;
  const auto attached = notifiers_;  // each keeps its notifier alive through its call
  for (const auto& [index, notifier] : attached) notifier->ModuleRenamed(newName);
  notifyOldStyle(ncModuleRenamed);
}

void IdeModule::close() {
  if (closed_) return;
  notifyOldStyle(ncModuleDeleted);
  const auto attached = notifiers_;
  for (const auto& [index, notifier] : attached) notifier->Destroyed();
  closed_ = true;
  const auto remaining = std::move(notifiers_);
  notifiers_.clear();
  if (interface_) interface_->detachModule();
  owners_.clear();
}

std::size_t IdeModule::oldStyleNotifierCount() const {
  return interface_ ? interface_->notifierCount() : 0;
}

void IdeModule::abandonNotifiers() {
  for (auto& entry : notifiers_) entry.second.detach();
  notifiers_.clear();
  if (interface_) interface_->detachModule();
}

}  // namespace hmr
