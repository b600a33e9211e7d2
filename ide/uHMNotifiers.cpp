// SPDX-License-Identifier: MIT
#include "ide/uHMNotifiers.h"

#include <utility>

#include "core/PathText.h"
#include "core/uHMRProjectGroup.h"
#include "ide/IdeBuild.h"
#include "ide/IdeModules.h"
#include "ide/PackageHost.h"
#include "ide/uHMWizardMessages.h"
#include "platform/HmrError.h"

namespace hmr {
namespace {

// Closing a project saves its data file. The IDE must not be disturbed by the notifier's own
// troubles, but a failed save is shown: dropping it silently would lose the session unseen.
void removeProjectShowingErrors(THMRProjectGroup* group, const std::string& fileName) noexcept {
  if (!group) return;
  guardedForIde([&] { group->RemoveProject(fileName); });
}

}  // namespace

bool IsOwnPackageFile(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string_view whole(path);
  const std::string_view name = slash == std::string::npos ? whole : whole.substr(slash + 1);
  return sameText(name, ide_build::PackageFileName);
}

// ---- TOTAModuleNotifier ---------------------------------------------------------------------

TOTAModuleNotifier::TOTAModuleNotifier(THMExpertAddInNotifier* Owner, std::string FileName)
    : FOwner(Owner), FFileName(std::move(FileName)) {}

bool TOTAModuleNotifier::QueryInterface(const TGUID& iid, void** object) {
  if (iid == IID_IOTAModuleNotifier) {
    *object = static_cast<IOTAModuleNotifier*>(this);
    AddRef();
    return true;
  }
  return TBaseNotifier<IOTAModuleNotifier>::QueryInterface(iid, object);
}

void TOTAModuleNotifier::Destroyed() {
  // The IDE holds a reference across this call, so detaching cannot end this object here.
  removeProjectShowingErrors(FOwner ? FOwner->projectGroup() : nullptr, FFileName);
  swallowErrors([&] {
    if (const ComPtr<IOTAModule> module = FindIDEModule(FFileName))
      module->RemoveNotifier(FIndex);
  });
  FRegistered = false;
  if (FOwner && FOwner->FOTAModuleNotifiers) FOwner->FOTAModuleNotifiers->Remove(this);
}

void TOTAModuleNotifier::ModuleRenamed(const std::string& NewName) {
  const std::string oldName = std::exchange(FFileName, NewName);
  // The module carries the new name whatever the group makes of it, so the notifier follows
  // the module first.
  guardedForIde([&] {
    if (THMRProjectGroup* group = FOwner ? FOwner->projectGroup() : nullptr)
      group->RenameProject(NewName, oldName);
  });
}

TOTAModuleNotifier::~TOTAModuleNotifier() {
  swallowErrors([&] {
    if (!FRegistered || FIndex < 0) return;
    if (const ComPtr<IOTAModule> module = FindIDEModule(FFileName))
      module->RemoveNotifier(FIndex);
  });
  // A notifier that the module refused never stood for a tracked project: removing the
  // project here would end the tracking of the same project opened earlier.
  if (FIndex >= 0)
    removeProjectShowingErrors(FOwner ? FOwner->projectGroup() : nullptr, FFileName);
}

// ---- TADDINModuleNotifier -------------------------------------------------------------------

TADDINModuleNotifier::TADDINModuleNotifier(THMExpertAddInNotifier* Owner,
                                           ComPtr<TIModuleInterface> ModuleInterface,
                                           std::string FileName)
    : FOwner(Owner),
      FModuleInterface(std::move(ModuleInterface)),
      FFileName(std::move(FileName)) {}

void TADDINModuleNotifier::Notify(TNotifyCode NotifyCode) {
  guardedForIde([&] {
    if (!FRegistered) return;
    switch (NotifyCode) {
      case ncModuleDeleted:
        FModuleInterface->RemoveNotifier(this);
        FRegistered = false;  // released by the next ClearUnRegistered
        break;
      case ncEditorModified:
      case ncFormModified:
        if (FOwner) FOwner->DetectActivity();
        break;
      default:
        break;
    }
  });
}

TADDINModuleNotifier::~TADDINModuleNotifier() {
  swallowErrors([&] {
    if (FRegistered && FModuleInterface) FModuleInterface->RemoveNotifier(this);
  });
}

// ---- the lists ------------------------------------------------------------------------------

void TOTAModuleNotifierList::Remove(TOTAModuleNotifier* Notifier) {
  for (auto it = FList.begin(); it != FList.end(); ++it) {
    if (*it == Notifier) {
      FList.erase(it);
      return;
    }
  }
}

TOTAModuleNotifierList::~TOTAModuleNotifierList() {
  const std::vector<TOTAModuleNotifier*> notifiers = std::move(FList);
  FList.clear();
  for (TOTAModuleNotifier* notifier : notifiers) {
    swallowErrors([&] {
      if (!notifier->FRegistered) return;
      const ComPtr<IOTAModule> module = FindIDEModule(notifier->FFileName);
      if (!module || notifier->FIndex < 0) return;
      // The module drops its reference, which may be the last one: keep the notifier alive
      // until it is marked detached, then let it go.
      const ComPtr<TOTAModuleNotifier> keep(notifier);
      notifier->FRegistered = false;
      module->RemoveNotifier(notifier->FIndex);
    });
  }
}

void TADDINModuleNotifierList::ClearUnRegistered() noexcept {
  swallowErrors([&] {
    std::vector<TADDINModuleNotifier*> kept;
    std::vector<TADDINModuleNotifier*> released;
    for (TADDINModuleNotifier* notifier : FList)
      (notifier->FRegistered ? kept : released).push_back(notifier);
    FList = std::move(kept);
    for (TADDINModuleNotifier* notifier : released) notifier->Release();
  });
}

TADDINModuleNotifierList::~TADDINModuleNotifierList() {
  const std::vector<TADDINModuleNotifier*> notifiers = std::move(FList);
  FList.clear();
  for (TADDINModuleNotifier* notifier : notifiers) notifier->Release();
}

// ---- THMExpertAddInNotifier -----------------------------------------------------------------

THMExpertAddInNotifier::THMExpertAddInNotifier()
    : FAddInModuleNotifiers(std::make_unique<TADDINModuleNotifierList>()),
      FOTAModuleNotifiers(std::make_unique<TOTAModuleNotifierList>()) {
  TIToolServices* services = ToolServices();
  if (!services || !services->AddNotifier(this)) throw HmrError(std::string(CannotAddNotifier));
}

THMExpertAddInNotifier::~THMExpertAddInNotifier() {
  FAddInModuleNotifiers.reset();
  FOTAModuleNotifiers.reset();
  swallowErrors([&] {
    if (TIToolServices* services = ToolServices()) services->RemoveNotifier(this);
  });
}

void THMExpertAddInNotifier::FileNotification(TFileNotification NotifyCode,
                                              const std::string& FileName, bool& Cancel) {
  // The IDE holds this notifier only by registration; a reload may run a long way.
  guardedForIde([&] { handleFileNotification(NotifyCode, FileName); });
  Cancel = false;  // the tracker never vetoes an IDE operation
}

void THMExpertAddInNotifier::handleFileNotification(TFileNotification NotifyCode,
                                                    const std::string& FileName) {
  if (NotifyCode == fnPackageInstalled && IsOwnPackageFile(FileName)) {
    if (FReloadArmed) {
      LoadOpenedProjects();
      FReloadArmed = false;
    } else {
      FReloadArmed = true;
    }
  } else {
    FReloadArmed = true;
  }

  if (NotifyCode == fnProjectOpened) {
    if (const ComPtr<IOTAModule> module = FindIDEModule(FileName)) {
      const ComPtr<TOTAModuleNotifier> notifier(new TOTAModuleNotifier(this, FileName));
      notifier->FIndex = module->AddNotifier(notifier.get());
      if (notifier->FIndex >= 0) {
        notifier->FRegistered = true;
        // Booked before the project is added: should adding fail, the list still knows the
        // attached notifier and detaches it when the package goes.
        FOTAModuleNotifiers->Add(notifier.get());
        if (THMRProjectGroup* group = projectGroup()) group->AddProject(FileName, "", true);
      }
      // A refused notifier goes with `notifier`; its project stays untracked.
    }
  }

  if (NotifyCode == fnFileOpened || NotifyCode == fnProjectOpened) {
    FAddInModuleNotifiers->ClearUnRegistered();
    TIToolServices* services = ToolServices();
    if (!services) return;
    const ComPtr<TIModuleInterface> moduleInterface =
        ComPtr<TIModuleInterface>::adopt(services->GetModuleInterface(FileName));
    if (!moduleInterface) return;
    auto* notifier = new TADDINModuleNotifier(this, moduleInterface, FileName);
    FAddInModuleNotifiers->Add(notifier);  // holds the notifier's first reference
    moduleInterface->AddNotifier(notifier);
    notifier->FRegistered = true;  // whatever the module answered
  }
}

void THMExpertAddInNotifier::EventNotification(TEventNotification, bool& Cancel) {
  Cancel = false;
}

void THMExpertAddInNotifier::LoadOpenedProjects() {
  THMRProjectGroup* group = projectGroup();
  if (!group) return;
  group->RemoveAllProjects();
  const ComPtr<IOTAModuleServices> services = ModuleServices();
  if (!services) return;
  const std::int32_t count = services->GetModuleCount();
  for (std::int32_t i = 0; i < count; ++i) {
    const ComPtr<IOTAModule> module = services->GetModule(i);
    bool cancel = false;
    switch (GetModuleKind(module.get())) {
      case mkProject:
        FileNotification(fnProjectOpened, module->GetFileName(), cancel);
        break;
      case mkOtherModule:
        FileNotification(fnFileOpened, module->GetFileName(), cancel);
        break;
      case mkProjectGroup:
      case mkNone:
        break;
    }
  }
}

void THMExpertAddInNotifier::DetectActivity() {
  THMRProjectGroup* group = projectGroup();
  if (!group) return;
  const ComPtr<IOTAProjectGroup> ideGroup = FindIDEProjectGroup();
  const ComPtr<IOTAModule> current = GetCurrentIDEModule();
  if (!current) return;
  const ComPtr<IOTAProject> active = ideGroup ? ideGroup->GetActiveProject() : nullptr;
  const std::int32_t owners = current->GetOwnerCount();
  if (owners == 0) {
    // A project's own source or a file outside every project counts for the active project.
    if (active) group->ActivityDetected(active->GetFileName(), false);
    return;
  }
  if (owners == 1) {
    if (const ComPtr<IOTAProject> owner = current->GetOwner(0))
      group->ActivityDetected(owner->GetFileName(), false);
    return;
  }
  const std::string activeName = active ? active->GetFileName() : std::string();
  if (activeName.empty()) return;
  std::vector<std::string> ownerNames;
  for (std::int32_t i = 0; i < owners; ++i) {
    const ComPtr<IOTAProject> owner = current->GetOwner(i);
    const std::string name = owner ? owner->GetFileName() : std::string();
    if (sameText(name, activeName)) {
      group->ActivityDetected(activeName, false);
      return;
    }
    ownerNames.push_back(name);
  }
  for (const std::string& name : ownerNames) group->ActivityDetected(name, false);
}

}  // namespace hmr
